#include "core/backup/BackupRun.h"

#include "core/backup/AfterArchive.h"
#include "core/backup/RemoteCopyStep.h"
#include "core/editor/ProjectEditor.h"
#include "core/project/ArchiveNaming.h"
#include "platform/Blanks.h"
#include "zip/base/ZipError.h"

#include <exception>
#include <filesystem>

namespace mzb {

namespace {

std::string Trimmed(const std::string& text) {
    return std::string(TrimBlanks(text));
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
    try {
        writer.RunZip(job, events);
    } catch (const ENoFilesAdded&) {
        // An empty archive would pass for the last backup: nothing is kept,
        // and the number stays for the next run.
        host.ShowTimedMessage(NothingBackedUpText(editor.ProjectText, path, leftOut),
                              MessageKind::Error, kRunMessageStays);
        return BackupOutcome::NothingSaved;
    }
    if (sizeError) {
        std::rethrow_exception(sizeError);
    }
    const bool complete = leftOut.empty();
    const std::string pruned = FinishArchive(editor, store, writer, path, complete, host.Now());
    // Anything left out is a warning the user must see, also one who was
    // away when the schedule ran it.
    host.ShowTimedMessage(BackupCompletionText(editor.ProjectText, path, sizeKb, leftOut) + pruned,
                          complete ? MessageKind::Information : MessageKind::Warning,
                          complete ? kRunMessageSeconds : kRunMessageStays);
    if (editor.UseNumber) {
        store.WriteCounter(projectText, editor.Number);
        editor.Number = NextArchiveNumber(editor.Number, editor.Increase);
    }
    // What the missed-backup rule measures from, whichever front end ran it.
    store.WriteLastBackup(projectText, host.Now());
    RcloneProgram rclone;
    BackupEditor shown = editor;
    const ProjectRecord project = SaveEditor(shown);
    const bool copied = RunRemoteCopyStep(project, complete, path, store, writer, host, rclone);
    editor.Filename = EditorArchiveName(editor, settings, host.Now());
    host.ShowPage(page);
    if (!complete) {
        return BackupOutcome::Incomplete;
    }
    return copied ? BackupOutcome::Completed : BackupOutcome::CopyFailed;
}

} // namespace mzb
