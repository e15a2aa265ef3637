#include "tools/mzb/RunCommands.h"

#include "core/backup/StoredProjectBackup.h"
#include "core/backup/ZipWriterBackup.h"
#include "core/base/DateText.h"
#include "core/restore/RestoreRun.h"
#include "core/restore/ZipReaderRestore.h"
#include "tools/mzb/ConsoleRunHost.h"
#include "tools/mzb/Interrupt.h"
#include "tools/mzb/PasswordOption.h"
#include "tools/mzb/ProjectCommands.h"
#include "tools/mzb/RemoteCommands.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

namespace mzb::cli {
namespace {

// A restore cut short by a signal reports itself as cancelled: the
// interrupt's own line says instead what was not finished, as every
// interrupted command's does.
class InterruptedRestoreHost : public ConsoleRunHost {
public:
    explicit InterruptedRestoreHost(bool quiet) : ConsoleRunHost(std::nullopt, quiet) {}
    void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) override {
        if (!Interrupted()) {
            ConsoleRunHost::ShowTimedMessage(text, kind, seconds);
        }
    }
};

// The archive list's folder and row for an archive given by its path.
void SplitArchivePath(const std::string& path, RestoreEditor& editor) {
    const std::filesystem::path p(path);
    editor.FolderText = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    editor.ArchiveCell = p.filename().string();
}

} // namespace

int RunBackupProject(const GlobalOptions& options, const Args& args) {
    Args rest;
    std::optional<LocalDateTime> now;
    unsigned threads = DefaultThreadCount();
    bool quiet = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + std::ptrdiff_t(i), args.end());
            break;
        }
        if (args[i] == "-q") {
            quiet = true;
        } else if (args[i] == "--now") {
            now = ++i < args.size() ? ParseDateTime(args[i]) : std::nullopt;
            if (!now) {
                return UsageError(NowValueError(args, i));
            }
        } else if (args[i] == "-t") {
            const auto count = ++i < args.size() ? ParseThreadCount(args[i]) : std::nullopt;
            if (!count) {
                return UsageError("-t needs a thread count from 1 to 256");
            }
            threads = *count;
        } else {
            rest.push_back(args[i]);
        }
    }
    std::string name;
    if (const auto error = TakeProjectName(rest, name); !error.empty()) {
        return UsageError(error);
    }
    const ProjectStore store = StoreFor(options);
    CommonSettings settings = store.ReadCommonSettings();
    // As the schedule runs it: the command itself is the confirmation.
    settings.PromptBeforeBackup = false;

    CatchInterrupts();
    InterruptibleHost engineHost;
    TZipWriter writer(engineHost);
    writer.Threads = threads;
    engineHost.Serve(writer);
    ZipWriterBackup writerView(writer);
    ConsoleRunHost host(now, quiet);
    StoredProjectBackup backup(store, settings, writerView, host);
    if (!backup.Select(name)) {
        return NoSuchProject(name);
    }
    backup.Load();
    const StoredBackupResult result = backup.Start();
    if (result == StoredBackupResult::Failed && Interrupted()) {
        return ReportInterrupted("the backup of project '" + name +
                                 "' was not made; no partial archive was left");
    }
    if (result == StoredBackupResult::CopyFailed && Interrupted()) {
        return ReportInterrupted("the backup of project '" + name +
                                 "' was made, its remote copy was not; it is sent at the next "
                                 "backup");
    }
    return BackupExitStatus(result);
}

int BackupExitStatus(StoredBackupResult result) {
    switch (result) {
    case StoredBackupResult::Completed:
        return kExitOk;
    case StoredBackupResult::Incomplete:
    case StoredBackupResult::NothingSaved:
    case StoredBackupResult::Unrecorded:
    case StoredBackupResult::CopyFailed:
    case StoredBackupResult::Declined:
    case StoredBackupResult::Refused:
    case StoredBackupResult::Exists:
    case StoredBackupResult::Busy:
        return kExitPartial;
    case StoredBackupResult::Failed:
        break;
    }
    return kExitFatal;
}

int RunRestore(const GlobalOptions& options, const Args& args) {
    static const std::map<std::string, RestoreOverwrite> kModes = {
        {"prompt", RestoreOverwrite::Prompt}, {"always", RestoreOverwrite::Always},
        {"never", RestoreOverwrite::Never},   {"newer", RestoreOverwrite::IfNewer},
        {"older", RestoreOverwrite::IfOlder},
    };
    RestoreEditor editor;
    unsigned threads = DefaultThreadCount();
    bool quiet = false;
    std::optional<std::string> remoteProject;
    std::vector<std::string> plain;
    PasswordOption password;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (password.Parse(args, i, error)) {
            if (!error.empty()) {
                return UsageError(error);
            }
        } else if (a == "--remote") {
            if (++i == args.size()) {
                return UsageError("--remote needs a project name");
            }
            remoteProject = args[i];
        } else if (a == "-o") {
            const auto it = ++i < args.size() ? kModes.find(args[i]) : kModes.end();
            if (it == kModes.end()) {
                return UsageError(i < args.size()
                                      ? "unknown overwrite mode " + args[i]
                                      : "-o needs prompt, always, never, newer or older");
            }
            editor.Overwrite = it->second;
        } else if (a == "-j") {
            editor.UseFolderNames = false;
        } else if (a == "--only-this") {
            editor.OnlyThisArchive = true;
        } else if (a == "-q") {
            quiet = true;
        } else if (a == "-t") {
            const auto count = ++i < args.size() ? ParseThreadCount(args[i]) : std::nullopt;
            if (!count) {
                return UsageError("-t needs a thread count from 1 to 256");
            }
            threads = *count;
        } else if (LooksLikeOption(a)) {
            return UsageError("unknown option " + a);
        } else {
            plain.push_back(a);
        }
    }
    if (const auto error = OperandCountError(plain, 2, "ARCHIVE and DEST"); !error.empty()) {
        return UsageError(error);
    }
    std::string error;
    const auto resolved = password.Resolve(false, error);
    if (!resolved) {
        return UsageError(error);
    }
    editor.Password = *resolved;
    CatchInterrupts();
    // Fetched first, into a private folder that goes when the restore ends.
    FetchedArchive fetched;
    if (remoteProject) {
        const ProjectStore store = StoreFor(options);
        const auto project = FindListedProject(store, *remoteProject);
        if (!project) {
            return NoSuchProject(*remoteProject);
        }
        if (const std::string problem = fetched.Fetch(store, *project, plain[0], quiet);
            !problem.empty()) {
            if (Interrupted()) {
                return ReportInterrupted(plain[0] +
                                         " was not fetched from the remote; nothing was restored");
            }
            std::fprintf(stderr, "mzb: %s\n", problem.c_str());
            return kExitFatal;
        }
    }
    SplitArchivePath(remoteProject ? fetched.Path() : plain[0], editor);
    editor.DestDir = plain[1];

    InterruptibleHost engineHost;
    TZipReader reader(engineHost);
    reader.Threads = threads;
    engineHost.Serve(reader);
    ZipReaderRestore readerView(reader);
    InterruptedRestoreHost host(quiet);
    RestoreRun run;
    try {
        switch (run.Run(editor, readerView, host)) {
        case RestoreOutcome::Succeeded:
        case RestoreOutcome::Kept:
            return kExitOk;
        case RestoreOutcome::Canceled:
            if (Interrupted()) {
                return ReportInterrupted(plain[0] +
                                         " was restored only in part; no partial file was left");
            }
            return kExitPartial;
        default:
            return kExitPartial;
        }
    } catch (const std::exception& e) {
        if (Interrupted()) {
            return ReportInterrupted(plain[0] +
                                     " was restored only in part; no partial file was left");
        }
        // An archive that cannot be read is a failure, not a refusal.
        std::fprintf(stderr, "mzb: %s\n", e.what());
        return kExitFatal;
    }
}

} // namespace mzb::cli
