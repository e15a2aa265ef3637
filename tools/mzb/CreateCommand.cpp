#include "tools/mzb/CreateCommand.h"

#include "tools/mzb/Interrupt.h"
#include "tools/mzb/ProgressLine.h"
#include "zip/base/PrintableName.h"
#include "zip/base/Wildcard.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"
#include "zip/writer/ZipWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace mzb::cli {
namespace {

struct CreateOptions {
    std::string archive;
    int level = 5;
    unsigned threads = DefaultThreadCount();
    std::string password;
    bool recurse = false;
    bool junkPaths = false;
    bool quiet = false;
    std::optional<std::string> comment;
    std::vector<std::string> excludes;
    std::vector<std::string> items;
};

std::optional<int> ParseLevel(const std::string& text) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    return text[0] - '0';
}

// Returns an error text, empty when all is well.
std::string ParseCreateArgs(const Args& args, CreateOptions& out) {
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return ++i < args.size() ? &args[i] : nullptr; };
        if (a == "-l") {
            const std::string* v = value();
            const auto level = v ? ParseLevel(*v) : std::nullopt;
            if (!level) {
                return "-l needs a level from 0 to 9";
            }
            out.level = *level;
        } else if (a == "-t") {
            const std::string* v = value();
            const auto threads = v ? ParseThreadCount(*v) : std::nullopt;
            if (!threads) {
                return "-t needs a thread count from 1 to 256";
            }
            out.threads = *threads;
        } else if (a == "-p" || a == "-c" || a == "-x") {
            const std::string* v = value();
            if (!v) {
                return a + " needs a value";
            }
            if (a == "-p") {
                out.password = *v;
            } else if (a == "-c") {
                out.comment = *v;
            } else {
                out.excludes.push_back(*v);
            }
        } else if (a == "-r") {
            out.recurse = true;
        } else if (a == "-j") {
            out.junkPaths = true;
        } else if (a == "-q") {
            out.quiet = true;
        } else if (LooksLikeOption(a)) {
            return "unknown option " + a;
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() < 2) {
        return "missing arguments";
    }
    out.archive = plain[0];
    out.items.assign(plain.begin() + 1, plain.end());
    return {};
}

// An absolute path without "." and ".." components, keeping a trailing '/'.
std::string Absolute(const std::string& cwd, const std::string& path) {
    const bool directory = !path.empty() && path.back() == kPathSeparator;
    std::string result = (std::filesystem::path(cwd) / path).lexically_normal().string();
    if (directory) {
        result = WithTrailingSeparator(result);
    }
    return result;
}

// The writer's list items for one command-line item. A directory is its
// own entry; with -r also everything below it, as users of other archivers
// expect from "-r dir".
void AddItems(const std::string& cwd, const std::string& item, bool recurse,
              std::vector<std::string>& list) {
    std::string marker;
    std::string rest = item;
    if (!rest.empty() && (rest[0] == '|' || rest[0] == '>')) {
        marker = rest.substr(0, 1);
        rest.erase(0, 1);
    }
    const std::string path = Absolute(cwd, rest);
    if (IsWildcard(rest)) {
        list.push_back(marker + path);
        return;
    }
    if (path.back() == kPathSeparator || std::filesystem::is_directory(path)) {
        const std::string dir = WithTrailingSeparator(path);
        list.push_back(dir);
        if (recurse) {
            list.push_back(dir + "*");
        }
        return;
    }
    list.push_back(path);
}

// Exclusion patterns with a directory part are matched against absolute
// paths; one written relative to the current directory is made absolute.
std::string ExcludePattern(const std::string& cwd, const std::string& pattern) {
    const bool relativePath = pattern.find(kPathSeparator) != std::string::npos &&
                              pattern[0] != kPathSeparator && !IsWildcard(pattern.substr(0, 1));
    return relativePath ? cwd + pattern : pattern;
}

} // namespace

int RunCreate(const GlobalOptions&, const Args& args) {
    CreateOptions o;
    if (const auto error = ParseCreateArgs(args, o); !error.empty()) {
        return UsageError(error);
    }
    const std::string cwd = WithTrailingSeparator(std::filesystem::current_path().string());
    CatchInterrupts();
    InterruptibleHost host;
    TZipWriter writer(host);
    host.Serve(writer);
    const bool updating = std::filesystem::exists(Absolute(cwd, o.archive));
    int skipped = 0;
    TProgressLine progress(o.quiet);
    auto report = [&skipped, &progress](const std::string& name, const std::string& why) {
        progress.Clear();
        std::fprintf(stderr, "mzb: %s: %s\n", PrintableName(name).c_str(), why.c_str());
        ++skipped;
    };
    writer.OnSkippingFile = [&report](TZipWriter&, int reason, const std::string& name, int,
                                      bool&) {
        static const char* const kReasons[] = {"skipped", "duplicate name in the archive, skipped",
                                               "cannot be read, skipped",
                                               "too large for the archive, skipped"};
        report(name, reason >= 1 && reason <= kSkipTooLarge ? kReasons[reason] : kReasons[0]);
    };
    writer.OnNoSuchFile = [&report](TZipWriter&, const std::string& name) {
        report(name, "no such file");
    };
    writer.OnFolderNotListed = [&report](TZipWriter&, const std::string& name, int error) {
        report(name, error == ENOENT || error == ENOTDIR
                         ? std::string("no such folder")
                         : std::string("cannot list the folder: ") + std::strerror(error));
    };
    writer.OnStartZip = [&progress](TZipWriter&, const std::string&, TZipHeaderInfo& entry, bool&) {
        progress.SetName(entry.Directory() + entry.FileName());
    };
    writer.OnTotalPercentDone = [&progress](TZipWriter&, int percent) {
        progress.SetPercent(percent);
    };
    try {
        writer.SetZipName(Absolute(cwd, o.archive));
        writer.SetRootDir(cwd);
        // Paths are stored as given: relative to the current directory.
        writer.SetRelativePaths(!o.junkPaths);
        writer.SetStorePaths(!o.junkPaths);
        writer.Recurse = o.recurse;
        writer.AddDirEntriesOnRecurse = o.recurse;
        writer.SetPackLevel(o.level);
        writer.Threads = o.threads;
        for (const auto& pattern : o.excludes) {
            writer.ExcludeList.push_back(ExcludePattern(cwd, pattern));
        }
        if (o.comment) {
            writer.SetArchiveComment(*o.comment);
        }
        writer.ArchivePassword = o.password;
        std::vector<std::string> list;
        for (const auto& item : o.items) {
            AddItems(cwd, item, o.recurse, list);
        }
        writer.SetFilesList(list);
        writer.RunZip();
    } catch (const EZipError& e) {
        progress.Clear();
        if (Interrupted()) {
            return ReportInterrupted(o.archive + (updating ? " was not updated and is as it was"
                                                           : " was not written; nothing was left"));
        }
        std::fprintf(stderr, "mzb: %s: %s\n", PrintableName(o.archive).c_str(),
                     PrintableName(e.what()).c_str());
        return kExitFatal;
    }
    progress.Clear();
    return skipped == 0 ? kExitOk : kExitPartial;
}

} // namespace mzb::cli
