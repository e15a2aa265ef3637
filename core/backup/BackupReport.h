#pragma once
// The texts a backup shows the user: the completion report, the files left
// out, and the refusals.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mzb {

// The new archive could not be opened to read its size.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The size of the file in whole KiB, the remainder dropped.
long long ArchiveSizeKb(const std::string& path);

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
// The line a completion report gains when the archive is complete but what
// the run stores after it (the number used, when given, and the time)
// could not be stored, with the reason.
std::string BackupNotRecordedText(std::optional<int> number, const std::string& reason);
std::string ArchiveExistsText(const std::string& archivePath);
std::string ProjectBusyText(const std::string& projectText);
// The project's backup lock cannot be had at all; the reason names the file.
std::string ProjectLockRefusedText(const std::string& projectText, const std::string& reason);
// Start Backup while no project exists: a first start, or all deleted.
inline constexpr const char* kNoProjectText =
    "There is no project to back up yet. Make one first with New Project.";
// The timed warning after the user cancelled a run: the writer has removed
// what it had written, and the number has not advanced.
inline constexpr const char* kBackupCanceledText = "Backup canceled, no archive was written!";

} // namespace mzb
