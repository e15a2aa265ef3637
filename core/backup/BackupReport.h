#pragma once
// The texts a backup shows the user: the completion report, the files left
// out with their reasons, and the refusals.

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

// How an item the archive lacks is named in a report, the reason first.
// A folder that could not be found (errno ENOENT or ENOTDIR) or listed:
// "folder not found: /media/usb/photos", "folder not readable: /srv/x
// (Permission denied)".
std::string FolderLeftOutText(const std::string& folder, int errorCode);

enum class FileLeftOut {
    NotFound,      // an explicit file that does not exist
    Unreadable,    // could not be opened or read; errno 0: it changed meanwhile
    DuplicateName, // another file took its stored name
    TooLarge,      // beyond what the writer takes
};
// "file not found: /a/x", "file not readable: /a/x (Permission denied)",
// "file changed while it was read: /a/x", "file name already in the
// archive: /b/x", "file too large for the archive: /a/x".
std::string FileLeftOutText(const std::string& path, FileLeftOut why, int errorCode);

// The report of a written archive: "Backup Files Succeeds!" with the
// project, the archive's file name and its size. When items were left out
// the first line says the backup is incomplete instead, and "Files Left
// Out: N" follows the size with the items (ItemLines).
std::string BackupCompletionText(const std::string& projectText, const std::string& archivePath,
                                 long long sizeKb, const std::vector<std::string>& leftOut);
// The report of a run that found no file to save and so wrote no archive.
// The line a differential project's report adds: "\rFull backup" or
// "\rDifferential backup of 'FULL'", and for a differential that added no
// file, " (no file changed)".
std::string BackupKindText(bool full, const std::string& fullArchive, std::size_t filesAdded);

std::string NothingBackedUpText(const std::string& projectText, const std::string& archivePath,
                                const std::vector<std::string>& leftOut);
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
