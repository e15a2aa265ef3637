#include "core/backup/BackupRun.h"

#include "core/backup/AfterArchive.h"
#include "core/backup/DifferentialRun.h"
#include "core/backup/RemoteCopyStep.h"
#include "core/editor/ProjectEditor.h"
#include "core/project/ArchiveNaming.h"
#include "platform/Blanks.h"
#include "zip/base/ZipError.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace mzb {

namespace {

std::string Trimmed(const std::string& text) {
    return std::string(TrimBlanks(text));
}

// When the file was last written, to the second "Last Backup" keeps; none
// when there is no file.
std::optional<LocalDateTime> ModifiedTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return LocalDateTime::FromSystem(std::chrono::system_clock::from_time_t(info.st_mtime));
}

// Moves a numbered editor past every archive that a run made after the last
// one it could record. A project that never recorded a backup, and one at
// 1000 with no number left to take, keep the rule for an existing archive.
void PassOverUnrecordedArchives(BackupEditor& editor, const CommonSettings& settings,
                                std::optional<LocalDateTime> lastBackup, LocalDateTime now) {
    while (editor.Number < kMaxArchiveNumber) {
        const std::optional<LocalDateTime> written = ModifiedTime(Trimmed(editor.Filename));
        if (!written || !lastBackup || *written <= *lastBackup) {
            return;
        }
        editor.Number = NextArchiveNumber(editor.Number, editor.Increase);
        editor.Filename = EditorArchiveName(editor, settings, now);
    }
}

} // namespace

BackupOutcome RunBackup(BackupEditor& editor, const CommonSettings& settings,
                        const ProjectStore& store, BackupWriter& writer, RunHost& host) {
    const std::string projectText = Trimmed(editor.ProjectText);
    // Before the confirmation, which would name no project, and before the
    // checks, which would blame the empty fields of an editor without one.
    if (projectText.empty()) {
        host.ShowMessage(kNoProjectText, MessageKind::Warning);
        return BackupOutcome::Refused;
    }
    if (settings.PromptBeforeBackup &&
        !host.AskYesNo("Do you want backup project '" + projectText + "'?",
                       MessageKind::Information)) {
        return BackupOutcome::Declined;
    }
    if (!ValidateProject(editor, host)) {
        return BackupOutcome::Refused;
    }
    // Held to the end, the number stored included: a second run of the
    // project would write the same archive name.
    const KeyedLock projectLock = store.TryLockBackup(projectText);
    if (projectLock.Result() == KeyedLock::State::HeldElsewhere) {
        host.ShowTimedMessage(ProjectBusyText(projectText), MessageKind::Warning,
                              kRunMessageSeconds);
        return BackupOutcome::Busy;
    }
    // Without the lock a second run could write the same archive unseen.
    if (!projectLock) {
        host.ShowTimedMessage(ProjectLockRefusedText(projectText, projectLock.Reason()),
                              MessageKind::Warning, kRunMessageSeconds);
        return BackupOutcome::Refused;
    }
    if (editor.UseNumber) {
        PassOverUnrecordedArchives(editor, settings, store.ReadLastBackup(projectText), host.Now());
    }
    const int page = host.ActivePage();
    const std::string path = Trimmed(editor.Filename);
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (exists && !settings.IsOverWrite) {
        host.ShowTimedMessage(ArchiveExistsText(path), MessageKind::Warning, kRunMessageSeconds);
        return BackupOutcome::Exists;
    }
    BackupJob job = MakeBackupJob(editor);
    job.ReplaceArchive = exists;

    std::vector<std::string> leftOut;
    // Raised only after the writer is done: its failure cleanup must not take
    // the finished archive with it.
    std::exception_ptr sizeError;
    BackupWriterEvents events;
    events.OnTotalPercentDone = [&](int percent) { host.SetProgress(percent); };
    events.OnFileLeftOut = [&](const std::string& name) { leftOut.push_back(name); };
    events.OnFileStarted = [&](const std::string& file) { host.ShowCurrentFile(file); };
    long long sizeKb = 0;
    events.OnZipComplete = [&](int) {
        try {
            sizeKb = ArchiveSizeKb(path);
        } catch (const EInOutError&) {
            sizeError = std::current_exception();
        }
    };

    const RunLock lock(host);
    std::optional<DifferentialRun> differential;
    if (editor.Project.BackupType == kDifferentialBackupType) {
        BackupEditor shown = editor;
        differential.emplace(SaveEditor(shown), store.ReadProjects(store.ReadProjectNames()), path,
                             writer, host.Now());
        differential->Attach(events);
    }
    ArchiveVerifier verifier(editor.Project.VerifyAfterBackup, writer, path, job.ArchivePassword);
    events.OnArchiveReady = verifier.Check();
    try {
        writer.RunZip(job, events);
    } catch (const EArchiveRefused& refused) {
        throw verifier.Failure(refused);
    } catch (const ENoFilesAdded&) {
        // An empty archive would pass for the last backup: nothing is kept,
        // and the number stays for the next run. (A differential whose files
        // all stayed as they were still holds its manifest.)
        host.ShowTimedMessage(NothingBackedUpText(editor.ProjectText, path, leftOut),
                              MessageKind::Error, kRunMessageStays);
        return BackupOutcome::NothingSaved;
    }
    if (sizeError) {
        std::rethrow_exception(sizeError);
    }
    const bool complete = leftOut.empty();
    const std::string pruned = FinishArchive(editor, store, path, complete, host.Now());
    const std::optional<int> counter =
        editor.UseNumber ? std::optional(editor.Number) : std::nullopt;
    std::string report = BackupCompletionText(editor.ProjectText, path, sizeKb, leftOut);
    if (differential) {
        report += BackupKindText(differential->Full() != FullReason::None,
                                 differential->FullArchive(), differential->AddedFiles());
    }
    report += pruned;
    bool recorded = true;
    // Stored before the report, which then tells what could not be; and
    // what the missed-backup rule measures from, whichever front end ran it.
    try {
        store.WriteBackupEnd(projectText, counter, host.Now());
    } catch (const std::exception& error) {
        recorded = false;
        report += "\r" + BackupNotRecordedText(counter, error.what());
    }
    // Anything left out or not stored is a warning the user must see, also
    // one who was away when the schedule ran it.
    const bool asExpected = complete && recorded;
    host.ShowTimedMessage(report, asExpected ? MessageKind::Information : MessageKind::Warning,
                          asExpected ? kRunMessageSeconds : kRunMessageStays);
    if (editor.UseNumber) {
        editor.Number = NextArchiveNumber(editor.Number, editor.Increase);
    }
    RcloneProgram rclone;
    BackupEditor shown = editor;
    const ProjectRecord project = SaveEditor(shown);
    const bool copied = RunRemoteCopyStep(project, complete, path, store, writer, host, rclone);
    editor.Filename = EditorArchiveName(editor, settings, host.Now());
    host.ShowPage(page);
    if (!recorded) {
        return BackupOutcome::Unrecorded;
    }
    if (!complete) {
        return BackupOutcome::Incomplete;
    }
    return copied ? BackupOutcome::Completed : BackupOutcome::CopyFailed;
}

} // namespace mzb
