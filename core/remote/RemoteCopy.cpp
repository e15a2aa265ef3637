#include "core/remote/RemoteCopy.h"

#include "core/remote/FileDigest.h"
#include "core/remote/RcloneJson.h"
#include "core/remote/RemoteSetting.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace mzb {
namespace {

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

constexpr const char* kCanceled = "the copy was canceled";

std::string Failed(const std::string& what, const RcloneResult& result) {
    return result.Stopped ? kCanceled : what + ": " + result.Reason;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

// The remote's size and, where it has one, its hash of the file against
// the local file.
std::string CheckCopy(Rclone& rclone, const std::string& remotePath, const std::string& localPath,
                      const RcloneWatch& watch) {
    const RcloneResult stat = rclone.Run({"lsjson", "--stat", "--hash", "--hash-type", "md5",
                                          "--hash-type", "sha1", "--", remotePath},
                                         watch);
    if (!stat.Succeeded()) {
        return Failed("the copy could not be checked", stat);
    }
    const std::optional<JsonValue> info = ParseJson(stat.Out);
    const std::optional<std::uint64_t> size = info ? info->CountOf("Size") : std::nullopt;
    if (!size) {
        return "the copy could not be checked: rclone's listing of " + remotePath +
               " is not understood";
    }
    std::error_code ec;
    const std::uintmax_t localSize = std::filesystem::file_size(localPath, ec);
    if (ec) {
        return "the archive could not be read: " + ec.message();
    }
    if (*size != localSize) {
        return "the copy has " + std::to_string(*size) + " bytes instead of " +
               std::to_string(localSize);
    }
    const JsonValue* hashes = info->Find("Hashes");
    for (const auto& [name, kind] :
         {std::pair{"sha1", DigestKind::Sha1}, std::pair{"md5", DigestKind::Md5}}) {
        const std::string remote = hashes != nullptr ? Lower(hashes->TextOf(name)) : "";
        if (remote.empty()) {
            continue;
        }
        const std::optional<std::string> local = FileDigest(localPath, kind, watch.KeepGoing);
        if (!local) {
            // A stop while hashing says nothing against the copy.
            return watch.KeepGoing && !watch.KeepGoing()
                       ? kCanceled
                       : "the archive could not be read to check the copy";
        }
        if (*local != remote) {
            return std::string("the copy's ") + name + " differs from the archive's";
        }
        break;
    }
    return {};
}

} // namespace

std::string RemotePartName(const std::string& name) {
    return "." + name + ".part";
}

std::string CopyToRemote(Rclone& rclone, const std::string& destination,
                         const std::string& localPath, const RcloneWatch& watch) {
    const std::string name = FileNameOf(localPath);
    const std::string part = RemotePathOf(destination, RemotePartName(name));
    const std::string final = RemotePathOf(destination, name);
    // The file is sent as it stands: copyto would otherwise skip a part
    // left by an earlier try that happens to have the same size and time.
    const RcloneResult sent =
        rclone.Run({"copyto", "--ignore-times", "--", localPath, part}, watch);
    if (!sent.Succeeded()) {
        return Failed("the copy failed", sent);
    }
    const RcloneResult renamed = rclone.Run({"moveto", "--", part, final}, watch);
    if (!renamed.Succeeded()) {
        return Failed("the copy could not take its name", renamed);
    }
    std::string problem = CheckCopy(rclone, final, localPath, watch);
    if (!problem.empty() && problem != kCanceled) {
        // Gone, it counts as missing and is sent again at the next backup.
        rclone.Run({"deletefile", "--", final}, RcloneWatch{});
    }
    return problem;
}

RemoteListing ListRemote(Rclone& rclone, const std::string& destination, const RcloneWatch& watch) {
    RemoteListing listing;
    const RcloneResult listed = rclone.Run(
        {"lsjson", "--files-only", "--max-depth", "1", "--", RemotePathOf(destination, "")}, watch);
    if (listed.Ran && listed.ExitCode == kRcloneDirectoryNotFound) {
        return listing;
    }
    if (!listed.Succeeded()) {
        listing.Error = Failed("the remote folder could not be listed", listed);
        return listing;
    }
    const std::optional<JsonValue> files = ParseJson(listed.Out);
    if (!files || files->Type != JsonValue::Kind::Array) {
        listing.Error = "rclone's listing of " + destination + " is not understood";
        return listing;
    }
    for (const JsonValue& file : files->Items) {
        RemoteFile f;
        f.Name = file.TextOf("Name");
        f.Size = file.CountOf("Size").value_or(0);
        f.ModTime = file.TextOf("ModTime");
        if (!f.Name.empty() && !(f.Name.front() == '.' && f.Name.ends_with(".part"))) {
            listing.Files.push_back(std::move(f));
        }
    }
    std::sort(listing.Files.begin(), listing.Files.end(),
              [](const RemoteFile& a, const RemoteFile& b) { return a.Name < b.Name; });
    return listing;
}

std::string FetchFromRemote(Rclone& rclone, const std::string& destination, const std::string& name,
                            const std::string& localPath, const RcloneWatch& watch) {
    const std::string remote = RemotePathOf(destination, name);
    const RcloneResult fetched = rclone.Run({"copyto", "--", remote, localPath}, watch);
    if (!fetched.Succeeded()) {
        return fetched.Stopped ? "the fetch was canceled"
                               : remote + " could not be fetched: " + fetched.Reason;
    }
    return CheckCopy(rclone, remote, localPath, watch);
}

std::string DeleteFromRemote(Rclone& rclone, const std::string& destination,
                             const std::string& name, const RcloneWatch& watch) {
    const RcloneResult deleted =
        rclone.Run({"deletefile", "--", RemotePathOf(destination, name)}, watch);
    return deleted.Succeeded() ? std::string() : Failed("not deleted", deleted);
}

} // namespace mzb
