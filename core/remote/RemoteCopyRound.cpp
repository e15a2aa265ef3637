#include "core/remote/RemoteCopyRound.h"

#include "core/remote/RemoteCopy.h"

#include <algorithm>
#include <filesystem>

namespace mzb {
namespace {

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : separator) + item;
    }
    return out;
}

} // namespace

RemoteCopyRound CopyArchivesToRemote(Rclone& rclone, const std::string& destination,
                                     const std::vector<std::string>& archives,
                                     const std::function<void(int percent)>& onPercent,
                                     const std::function<bool()>& keepGoing) {
    RemoteCopyRound round;
    std::vector<std::pair<std::string, std::uint64_t>> present;
    std::uint64_t total = 0;
    for (const std::string& path : archives) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (!ec) {
            present.emplace_back(path, size);
            total += size;
        }
    }
    // Sticky: a cancel request is answered once, and the rest of the round
    // must still know of it.
    const auto goOn = [&] {
        round.Canceled = round.Canceled || (keepGoing && !keepGoing());
        return !round.Canceled;
    };
    std::uint64_t before = 0;
    for (const auto& [path, size] : present) {
        const std::string name = std::filesystem::path(path).filename().string();
        if (round.Canceled) {
            round.Pending.push_back(path);
            continue;
        }
        RcloneWatch watch;
        watch.KeepGoing = goOn;
        watch.OnProgress = [&, base = before](std::uint64_t done, std::uint64_t) {
            if (onPercent && total > 0) {
                onPercent(int(std::min<std::uint64_t>(100, (base + done) * 100 / total)));
            }
        };
        const std::string problem = CopyToRemote(rclone, destination, path, watch);
        if (problem.empty()) {
            round.Copied.push_back(name);
        } else {
            round.Failed.push_back(name + ": " + problem);
            round.Pending.push_back(path);
        }
        before += size;
    }
    return round;
}

std::vector<std::string> WithArchive(std::vector<std::string> pending, const std::string& path) {
    std::erase(pending, path);
    pending.push_back(path);
    return pending;
}

std::string RemoteCopyReportText(const std::string& projectText, const std::string& destination,
                                 const RemoteCopyRound& round) {
    const bool failed = !round.Failed.empty() || !round.Pending.empty();
    std::string text = failed ? "Remote Copy Fails!" : "Remote Copy Succeeds!";
    text += "\rProject Name: '" + projectText + "'";
    text += "\rRemote:       '" + destination + "'";
    if (!round.Copied.empty()) {
        text += "\rCopied:       " + Joined(round.Copied, ", ");
    }
    if (!round.Failed.empty()) {
        text += "\rNot Copied:   " + Joined(round.Failed, "; ");
    }
    if (failed) {
        text += round.Canceled ? "\rCanceled. " : "\r";
        text += "The archives stay on this computer and are copied at the next backup.";
    }
    return text;
}

} // namespace mzb
