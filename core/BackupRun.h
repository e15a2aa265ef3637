#pragma once
// One backup of the project the editor shows, without the window: the
// confirmation, the project checks, the rule for an archive that already
// exists, the writer's settings, the completion report and the number
// suffix. The window, the schedule and the tray all go through RunBackup.

#include "core/CommonSettings.h"
#include "core/ProjectRecord.h"
#include "core/ProjectStore.h"
#include "core/RunHost.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mzb {

// The editor's controls that a backup reads, as they stand when it starts.
struct BackupEditor {
    std::string ProjectText; // comboProject
    std::string Filename;    // EditFilename, the archive path
    std::string Prefix;      // EditPrefix
    std::string SaveDir;     // EditSavePath
    bool UseNumber = false;  // RadioUseNumber
    int Number = 1;          // SpinValue
    int Increase = 1;        // SpinIncrease
    bool Recurse = true;     // RadioYes
    bool StorePaths = true;  // CheckBoxpath
    bool CommentTicked = true;
    std::string Comment;
    bool PasswordTicked = true;
    std::string Password;
    std::string ConfirmPassword;
    std::vector<std::string> Include; // ListboxBackup
    std::vector<std::string> Exclude; // ListBoxNobackup
};

// The editor as loading the project leaves it: the number shown is the one
// after "Value", the confirmation equals the password, and the archive path
// is the one that name computes.
BackupEditor EditorForProject(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now);

// The writer settings of one run. Every field is set on every run so that
// nothing of an earlier project leaks into this one.
struct BackupJob {
    std::string ZipName;
    bool Recurse = false;
    bool StorePaths = false;
    std::string ArchiveComment;
    std::vector<std::string> FilesList;
    std::vector<std::string> ExcludeList;
    std::string ArchivePassword;
    int PackLevel = 5;
    bool AddDirEntriesOnRecurse = false;
    // The archive exists and overwriting is on: the new one takes its place
    // once complete, so a failed or canceled run keeps the last backup.
    bool ReplaceArchive = false;

    bool operator==(const BackupJob&) const = default;
};

BackupJob MakeBackupJob(const BackupEditor& editor);

// What the run hears from the writer while it works.
struct BackupWriterEvents {
    std::function<void(int percent)> OnTotalPercentDone;
    // A file the writer could not read, an explicit file that does not
    // exist, or a folder that could not be found or listed (as
    // FolderLeftOutText words it): the archive will lack it.
    std::function<void(const std::string& name)> OnFileLeftOut;
    // The writer starts packing this file.
    std::function<void(const std::string& path)> OnFileStarted;
    // The archive is complete, holding fileCount files (directory entries
    // not counted); the writer returns only after this returns.
    std::function<void(int fileCount)> OnZipComplete;
};

// The long-lived archive writer, seen from the run. Failures are raised.
class BackupWriter {
public:
    virtual ~BackupWriter() = default;
    // Sets the job's settings in the order of BackupJob's fields, then writes.
    virtual void RunZip(const BackupJob& job, const BackupWriterEvents& events) = 0;
};

// The new archive could not be opened to read its size.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The size of the file in whole KiB, the remainder dropped.
long long ArchiveSizeKb(const std::string& path);

// The first check that fails, with its message; empty when all pass.
std::string ValidationProblem(const BackupEditor& editor);
// Shows the problem in an error box; false when the action must be abandoned.
bool ValidateProject(const BackupEditor& editor, RunHost& host);

// How many names of left-out files the completion report lists.
inline constexpr std::size_t kLeftOutNamesShown = 3;

// How a folder that could not be found (errno ENOENT or ENOTDIR) or listed
// shows among the files left out: "folder not found: /media/usb/photos",
// "folder not readable: /srv/x (Permission denied)".
std::string FolderLeftOutText(const std::string& folder, int errorCode);

// "Backup Files Succeeds!" with the project, the archive's file name and its
// size; files left out add one more line with their count and first names
// (control characters escaped), and an archive without a single file ends
// with "No files were backed up.".
std::string BackupCompletionText(const std::string& projectText, const std::string& archivePath,
                                 long long sizeKb, const std::vector<std::string>& leftOut,
                                 int fileCount);
std::string ArchiveExistsText(const std::string& archivePath);
std::string ProjectBusyText(const std::string& projectText);
// The project's backup lock cannot be had at all; the reason names the file.
std::string ProjectLockRefusedText(const std::string& projectText, const std::string& reason);
// The timed warning after the user cancelled a run: the writer has removed
// what it had written, and the number has not advanced.
inline constexpr const char* kBackupCanceledText = "Backup canceled, no archive was written!";

enum class BackupOutcome {
    Declined,  // No to the confirmation
    Refused,   // a project check failed, or the project's backup lock is unusable
    Exists,    // the archive exists and overwriting is off
    Busy,      // another run, of this program or another, backs the project up
    Completed, // the archive is written and reported
    // The archive is written and reported, but it lacks files or folders
    // that were asked for, or holds no file at all.
    Incomplete,
};

// One backup, holding the project's backup lock (ProjectStore::TryLockBackup)
// from the checks to the stored number. On completion (also an incomplete
// one) its time is stored as "Last Backup", a numbered project's number as
// "Value", the editor's number advances by the step (at most 1000) and its
// archive path is computed anew. A writer failure, or a completed archive
// whose size cannot be read, is raised after the lock has been released and
// the progress bar reset; neither advances the number.
BackupOutcome RunBackup(BackupEditor& editor, const CommonSettings& settings,
                        const ProjectStore& store, BackupWriter& writer, RunHost& host);

} // namespace mzb
