#include "tools/mzb/RunCommands.h"

#include "core/backup/StoredProjectBackup.h"
#include "core/backup/ZipWriterBackup.h"
#include "core/base/DateText.h"
#include "core/restore/RestoreRun.h"
#include "core/restore/ZipReaderRestore.h"
#include "tools/mzb/ConsoleRunHost.h"
#include "tools/mzb/Interrupt.h"
#include "tools/mzb/ProjectCommands.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

namespace mzb::cli {
namespace {

// A restore cut short still fires the reader's completion event, whose
// report would call it a success: the interrupt's own line says instead
// what was not finished.
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
    const char* usage = "usage: mzb backup NAME [--now \"YYYY-MM-DD HH:MM:SS\"] [-t THREADS] [-q]";
    std::vector<std::string> plain;
    std::optional<LocalDateTime> now;
    unsigned threads = DefaultThreadCount();
    bool quiet = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-q") {
            quiet = true;
        } else if (args[i] == "--now" && i + 1 < args.size()) {
            now = ParseDateTime(args[++i]);
            if (!now) {
                return UsageError("--now wants \"YYYY-MM-DD HH:MM:SS\", not \"" + args[i] + "\"");
            }
        } else if (args[i] == "-t" && i + 1 < args.size()) {
            const auto count = ParseThreadCount(args[++i]);
            if (!count) {
                return UsageError("-t needs a thread count from 1 to 256");
            }
            threads = *count;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() != 1) {
        return UsageError(usage);
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
    if (!backup.Select(plain[0])) {
        return NoSuchProject(plain[0]);
    }
    backup.Load();
    const StoredBackupResult result = backup.Start();
    if (result == StoredBackupResult::Failed && Interrupted()) {
        return ReportInterrupted("the backup of project '" + args[0] +
                                 "' was not made; no partial archive was left");
    }
    return BackupExitStatus(result);
}

int BackupExitStatus(StoredBackupResult result) {
    switch (result) {
    case StoredBackupResult::Completed:
        return kExitOk;
    case StoredBackupResult::Incomplete:
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

int RunRestore(const GlobalOptions&, const Args& args) {
    static const std::map<std::string, RestoreOverwrite> kModes = {
        {"prompt", RestoreOverwrite::Prompt}, {"always", RestoreOverwrite::Always},
        {"never", RestoreOverwrite::Never},   {"newer", RestoreOverwrite::IfNewer},
        {"older", RestoreOverwrite::IfOlder},
    };
    const char* usage = "; usage: mzb restore ARCHIVE DEST [-p PASSWORD] "
                        "[-o prompt|always|never|newer|older] [-j] [-t THREADS] [-q]";
    RestoreEditor editor;
    unsigned threads = DefaultThreadCount();
    bool quiet = false;
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-p" && i + 1 < args.size()) {
            editor.Password = args[++i];
        } else if (a == "-o" && i + 1 < args.size()) {
            const auto it = kModes.find(args[++i]);
            if (it == kModes.end()) {
                return UsageError("unknown overwrite mode " + args[i] + usage);
            }
            editor.Overwrite = it->second;
        } else if (a == "-j") {
            editor.UseFolderNames = false;
        } else if (a == "-q") {
            quiet = true;
        } else if (a == "-t" && i + 1 < args.size()) {
            const auto count = ParseThreadCount(args[++i]);
            if (!count) {
                return UsageError("-t needs a thread count from 1 to 256" + std::string(usage));
            }
            threads = *count;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("unknown option " + a + usage);
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() != 2) {
        return UsageError(std::string("needs ARCHIVE and DEST") + usage);
    }
    SplitArchivePath(plain[0], editor);
    editor.DestDir = plain[1];

    CatchInterrupts();
    InterruptibleHost engineHost;
    TZipReader reader(engineHost);
    reader.Threads = threads;
    engineHost.Serve(reader);
    ZipReaderRestore readerView(reader);
    InterruptedRestoreHost host(quiet);
    RestoreRun run;
    try {
        return run.Run(editor, readerView, host) == RestoreOutcome::Succeeded ? kExitOk
                                                                              : kExitPartial;
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
