#include "core/BackupRun.h"

#include "core/ArchiveNaming.h"
#include "core/ProjectEditor.h"
#include "platform/Blanks.h"
#include "zip/base/PrintableName.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

namespace mzb {

namespace {

std::string Trimmed(const std::string& text) {
    return std::string(TrimBlanks(text));
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LeftOutLine(const std::vector<std::string>& leftOut) {
    std::string line = "\rFiles Left Out: " + std::to_string(leftOut.size()) + " (";
    for (std::size_t i = 0; i < leftOut.size() && i < kLeftOutNamesShown; ++i) {
        line += (i == 0 ? "'" : ", '") + PrintableName(leftOut[i]) + "'";
    }
    if (leftOut.size() > kLeftOutNamesShown) {
        line += ", ...";
    }
    return line + ")";
}

} // namespace

BackupEditor EditorForProject(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now) {
    BackupEditor e;
    LoadProjectIntoEditor(e, project, settings, now);
    return e;
}

BackupJob MakeBackupJob(const BackupEditor& editor) {
    BackupJob job;
    job.ZipName = Trimmed(editor.Filename);
    job.Recurse = editor.Recurse;
    job.StorePaths = editor.StorePaths;
    job.ArchiveComment = editor.CommentTicked ? Trimmed(editor.Comment) : std::string();
    job.FilesList = editor.Include;
    job.ExcludeList = editor.Exclude;
    job.ArchivePassword = editor.PasswordTicked ? Trimmed(editor.Password) : std::string();
    job.PackLevel = 5;
    job.AddDirEntriesOnRecurse = false;
    return job;
}

long long ArchiveSizeKb(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        throw EInOutError("I/O error: cannot open " + path);
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        throw EInOutError("I/O error: cannot read the size of " + path);
    }
    return static_cast<long long>(size) / 1024;
}

std::string ValidationProblem(const BackupEditor& editor) {
    if (TrimBlanks(editor.Filename).empty()) {
        return "Please input the backup filename";
    }
    if (TrimBlanks(editor.Prefix).empty()) {
        return "Please input the prefix of backup filename";
    }
    if (editor.PasswordTicked &&
        TrimBlanks(editor.Password) != TrimBlanks(editor.ConfirmPassword)) {
        return "Confirm password is not matching";
    }
    if (editor.Include.empty()) {
        return "Please select files or directory to backup";
    }
    return {};
}

bool ValidateProject(const BackupEditor& editor, RunHost& host) {
    const std::string problem = ValidationProblem(editor);
    if (problem.empty()) {
        return true;
    }
    host.ShowMessage(problem, MessageKind::Error);
    return false;
}

std::string FolderLeftOutText(const std::string& folder, int errorCode) {
    if (errorCode == ENOENT || errorCode == ENOTDIR) {
        return "folder not found: " + folder;
    }
    return "folder not readable: " + folder + " (" + std::strerror(errorCode) + ")";
}

std::string BackupCompletionText(const std::string& projectText, const std::string& archivePath,
                                 long long sizeKb, const std::vector<std::string>& leftOut,
                                 int fileCount) {
    std::string text = "Backup Files Succeeds!\rProject Name: '" + projectText + "'" + "\r" +
                       "File Name:    '" + FileNameOf(archivePath) + "'" + "\r" +
                       "File Size:    '" + std::to_string(sizeKb) + "Kb'";
    if (!leftOut.empty()) {
        text += LeftOutLine(leftOut);
    }
    if (fileCount == 0) {
        text += "\rNo files were backed up.";
    }
    return text;
}

std::string ArchiveExistsText(const std::string& archivePath) {
    return archivePath + " has been exists,Backup suspend!";
}

std::string ProjectBusyText(const std::string& projectText) {
    return "Project '" + projectText +
           "' is already being backed up by another run; this backup is skipped.";
}

std::string ProjectLockRefusedText(const std::string& projectText, const std::string& reason) {
    return "Project '" + projectText + "' cannot be backed up: its backup lock is unusable.\r" +
           reason;
}

BackupOutcome RunBackup(BackupEditor& editor, const CommonSettings& settings,
                        const ProjectStore& store, BackupWriter& writer, RunHost& host) {
    const std::string projectText = Trimmed(editor.ProjectText);
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
    int packed = 0;
    events.OnZipComplete = [&](int fileCount) {
        packed = fileCount;
        long long sizeKb = 0;
        try {
            sizeKb = ArchiveSizeKb(path);
        } catch (const EInOutError&) {
            sizeError = std::current_exception();
            return;
        }
        host.ShowTimedMessage(
            BackupCompletionText(editor.ProjectText, path, sizeKb, leftOut, fileCount),
            MessageKind::Information, kRunMessageSeconds);
    };

    const RunLock lock(host);
    writer.RunZip(job, events);
    if (sizeError) {
        std::rethrow_exception(sizeError);
    }
    if (editor.UseNumber) {
        store.WriteCounter(projectText, editor.Number);
        editor.Number = NextArchiveNumber(editor.Number, editor.Increase);
    }
    // What the missed-backup rule measures from, whichever front end ran it.
    store.WriteLastBackup(projectText, host.Now());
    editor.Filename = EditorArchiveName(editor, settings, host.Now());
    host.ShowPage(page);
    return leftOut.empty() && packed > 0 ? BackupOutcome::Completed : BackupOutcome::Incomplete;
}

} // namespace mzb
