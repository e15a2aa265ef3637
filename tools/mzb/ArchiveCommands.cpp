#include "tools/mzb/ArchiveCommands.h"

#include "core/restore/ArchiveSearch.h"
#include "core/restore/RestoreReport.h"
#include "tools/mzb/Interrupt.h"
#include "tools/mzb/PasswordOption.h"
#include "tools/mzb/ProgressLine.h"
#include "tools/mzb/TerminalHost.h"
#include "zip/base/PrintableName.h"
#include "zip/base/ZipError.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/reader/ZipReader.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <unistd.h>

namespace mzb::cli {
namespace {

struct ArchiveOptions {
    std::string archive;
    std::string dest;
    std::string password;
    TUZOverwriteMode overwrite = TUZOverwriteMode::Prompt;
    bool junkPaths = false;
    bool quiet = false;
    unsigned threads = DefaultThreadCount();
    std::vector<std::string> patterns;
};

std::optional<TUZOverwriteMode> ParseOverwriteMode(const std::string& text) {
    static const std::map<std::string, TUZOverwriteMode> kModes = {
        {"prompt", TUZOverwriteMode::Prompt}, {"always", TUZOverwriteMode::Always},
        {"never", TUZOverwriteMode::Never},   {"newer", TUZOverwriteMode::ifNewer},
        {"older", TUZOverwriteMode::ifOlder},
    };
    const auto it = kModes.find(text);
    return it == kModes.end() ? std::nullopt : std::optional(it->second);
}

// Positional arguments fill `positional` in order; the flags a command does
// not take are usage errors. Returns an error text, empty when all is well.
std::string ParseArgs(const Args& args, std::size_t positional, bool extractFlags,
                      bool passwordFlag, ArchiveOptions& out) {
    std::vector<std::string> plain;
    PasswordOption password;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (passwordFlag && password.Parse(args, i, error)) {
            if (!error.empty()) {
                return error;
            }
        } else if (a == "-o" && extractFlags) {
            if (++i == args.size()) {
                return "-o needs prompt, always, never, newer or older";
            }
            const auto mode = ParseOverwriteMode(args[i]);
            if (!mode) {
                return "unknown overwrite mode " + args[i];
            }
            out.overwrite = *mode;
        } else if (a == "-j" && extractFlags) {
            out.junkPaths = true;
        } else if (a == "-q" && extractFlags) {
            out.quiet = true;
        } else if (a == "-t" && extractFlags) {
            const auto threads = ++i < args.size() ? ParseThreadCount(args[i]) : std::nullopt;
            if (!threads) {
                return "-t needs a thread count from 1 to 256";
            }
            out.threads = *threads;
        } else if (LooksLikeOption(a)) {
            return "unknown option " + a;
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() < positional) {
        return "missing arguments";
    }
    if (passwordFlag) {
        std::string error;
        const auto resolved = password.Resolve(false, error);
        if (!resolved) {
            return error;
        }
        out.password = *resolved;
    }
    out.archive = plain[0];
    if (positional > 1) {
        out.dest = plain[1];
    }
    out.patterns.assign(plain.begin() + static_cast<std::ptrdiff_t>(positional), plain.end());
    return {};
}

// Counts and reports the entries that could not be restored, one line each.
struct FailureReport {
    int failed = 0;
    TProgressLine* progress = nullptr; // taken away before each line

    void Attach(TZipReader& reader) {
        reader.OnSkippingFile = [this](TZipReader& r, int reason, const std::string& name, int,
                                       bool&) {
            static const char* const kReasons[] = {"wrong password",
                                                   "not overwritten",
                                                   "",
                                                   "cannot create the output file",
                                                   "unsafe or damaged entry, refused",
                                                   "", // a link in the way, named below
                                                   kNotAuthenticReason};
            if (reason == kSkipNotOverwritten) {
                return;
            }
            std::string why = reason == kSkipLinkInTheWay
                                  ? "a link is in the way: " + PrintableName(r.LinkInTheWay())
                              : reason >= 0 && reason <= kSkipNotAuthentic ? kReasons[reason]
                                                                           : "skipped";
            // A full disk and a folder without write permission look alike
            // otherwise.
            if (reason == kSkipCannotCreate && r.SkipErrorCode() != 0) {
                why += std::string(" (") + std::strerror(r.SkipErrorCode()) + ")";
            }
            if (progress) {
                progress->Clear();
            }
            std::fprintf(stderr, "mzb: %s: %s\n", PrintableName(name).c_str(), why.c_str());
            ++failed;
        };
        reader.OnBadCRC = [this](TZipReader& r, std::uint32_t calc, std::uint32_t stored,
                                 int index) {
            const auto& e = r.Entry(index);
            if (progress) {
                progress->Clear();
            }
            std::fprintf(stderr, "mzb: %s: damaged data (CRC %08x, expected %08x)\n",
                         PrintableName(e.Directory() + e.FileName()).c_str(), calc, stored);
            ++failed;
        };
    }
};

int Fatal(const std::string& archive, const std::exception& e) {
    std::fprintf(stderr, "mzb: %s: %s\n", PrintableName(archive).c_str(),
                 PrintableName(e.what()).c_str());
    return kExitFatal;
}

void OpenForReading(TZipReader& reader, const std::string& archive) {
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    reader.SetZipName(archive);
    reader.OpenArchive();
}

int RunExtraction(const ArchiveOptions& o, bool testOnly) {
    CatchInterrupts();
    InterruptibleHost host;
    TZipReader reader(host);
    host.Serve(reader);
    FailureReport report;
    report.Attach(reader);
    // Testing prints nothing on success either; a restore shows its progress.
    TProgressLine progress(o.quiet || testOnly);
    report.progress = &progress;
    const bool mayAsk = o.overwrite == TUZOverwriteMode::Prompt;
    reader.OnStartUnZip = [&progress, mayAsk](TZipReader& r, int index, std::string& fname, bool&) {
        // A question about an existing file gets a line of its own.
        if (mayAsk && ::access(fname.c_str(), F_OK) == 0) {
            progress.Clear();
        }
        progress.SetName(r.Entry(index).Directory() + r.Entry(index).FileName());
    };
    reader.OnTotalPercentDone = [&progress](TZipReader&, int percent) {
        progress.SetPercent(percent);
    };
    int done = 0;
    reader.OnUnZipComplete = [&done](TZipReader&, int count) { done = count; };
    try {
        OpenForReading(reader, o.archive);
        reader.TestOnly = testOnly;
        reader.ArchivePassword = o.password;
        reader.OverwriteMode = o.overwrite;
        reader.Threads = o.threads;
        reader.RecreateDirs = !o.junkPaths;
        reader.DoAll = o.patterns.empty();
        reader.SetFilesList(o.patterns);
        if (!testOnly) {
            reader.SetDestDir(o.dest);
        }
        reader.RunUnZip();
    } catch (const EZipError& e) {
        progress.Clear();
        if (Interrupted()) {
            const std::string entries = " (entries done: " + std::to_string(done) + ")";
            return ReportInterrupted(o.archive + (testOnly
                                                      ? " was tested only in part" + entries
                                                      : " was extracted only in part" + entries +
                                                            "; no partial file was left"));
        }
        return Fatal(o.archive, e);
    }
    progress.Clear();
    return report.failed == 0 ? kExitOk : kExitPartial;
}

} // namespace

int RunList(const GlobalOptions&, const Args& args) {
    ArchiveOptions o;
    if (const auto error = ParseArgs(args, 1, false, false, o); !error.empty()) {
        return UsageError(error);
    }
    HeadlessHost host;
    TZipReader reader(host);
    try {
        reader.DoProcessMessages = false;
        OpenForReading(reader, o.archive);
        reader.RecreateDirs = true;
        reader.DoAll = o.patterns.empty();
        reader.SetFilesList(o.patterns);
        for (int i = 0; i < reader.EntryCount(); ++i) {
            const auto& e = reader.Entry(i);
            if (!reader.IsChosen(e)) {
                continue;
            }
            // The name stays the last column, whatever comes before it.
            std::printf("%u\t%llu\t%llu\t%08x\t%s\t%04x\t%s\t%s\n", e.DataMethod(),
                        static_cast<unsigned long long>(e.CompressedSize),
                        static_cast<unsigned long long>(e.UncompressedSize), e.Crc32,
                        EntryModifiedText(e).c_str(), e.Flags,
                        std::string(EntryEncryptionName(e)).c_str(),
                        PrintableName(e.Directory() + e.FileName()).c_str());
        }
    } catch (const EZipError& e) {
        return Fatal(o.archive, e);
    }
    return kExitOk;
}

int RunTest(const GlobalOptions&, const Args& args) {
    ArchiveOptions o;
    if (const auto error = ParseArgs(args, 1, false, true, o); !error.empty()) {
        return UsageError(error);
    }
    return RunExtraction(o, true);
}

int RunExtract(const GlobalOptions&, const Args& args) {
    ArchiveOptions o;
    if (const auto error = ParseArgs(args, 2, true, true, o); !error.empty()) {
        return UsageError(error);
    }
    if (o.dest.empty() || o.dest == "?") {
        return UsageError("extract needs a destination directory");
    }
    return RunExtraction(o, false);
}

} // namespace mzb::cli
