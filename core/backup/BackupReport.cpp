#include "core/backup/BackupReport.h"

#include "core/base/ItemList.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace mzb {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LeftOutLines(const std::vector<std::string>& leftOut) {
    if (leftOut.empty()) {
        return {};
    }
    return "\rFiles Left Out: " + std::to_string(leftOut.size()) + ItemLines(leftOut);
}

std::string ProjectAndArchiveLines(const std::string& projectText, const std::string& archivePath) {
    return "\rProject Name: '" + projectText + "'" + "\r" + "File Name:    '" +
           FileNameOf(archivePath) + "'";
}

} // namespace

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

std::string FolderLeftOutText(const std::string& folder, int errorCode) {
    if (errorCode == ENOENT || errorCode == ENOTDIR) {
        return "folder not found: " + folder;
    }
    return "folder not readable: " + folder + " (" + std::strerror(errorCode) + ")";
}

std::string FileLeftOutText(const std::string& path, FileLeftOut why, int errorCode) {
    switch (why) {
    case FileLeftOut::NotFound:
        return "file not found: " + path;
    case FileLeftOut::Unreadable:
        if (errorCode == 0) {
            return "file changed while it was read: " + path;
        }
        return "file not readable: " + path + " (" + std::strerror(errorCode) + ")";
    case FileLeftOut::DuplicateName:
        return "file name already in the archive: " + path;
    case FileLeftOut::TooLarge:
        break;
    }
    return "file too large for the archive: " + path;
}

std::string BackupCompletionText(const std::string& projectText, const std::string& archivePath,
                                 long long sizeKb, const std::vector<std::string>& leftOut) {
    const std::string first = leftOut.empty()
                                  ? "Backup Files Succeeds!"
                                  : "Backup incomplete! The archive lacks what is listed below.";
    return first + ProjectAndArchiveLines(projectText, archivePath) + "\r" + "File Size:    '" +
           std::to_string(sizeKb) + "Kb'" + LeftOutLines(leftOut);
}

std::string BackupKindText(bool full, const std::string& fullArchive, std::size_t filesAdded) {
    if (full) {
        return "\rFull backup";
    }
    return "\rDifferential backup of '" + fullArchive + "'" +
           (filesAdded == 0 ? " (no file changed)" : "");
}

std::string NothingBackedUpText(const std::string& projectText, const std::string& archivePath,
                                const std::vector<std::string>& leftOut) {
    return "Backup failed! No files were backed up, so no archive was written." +
           ProjectAndArchiveLines(projectText, archivePath) + LeftOutLines(leftOut);
}

std::string BackupNotRecordedText(std::optional<int> number, const std::string& reason) {
    const std::string what =
        number ? "its number " + std::to_string(*number) + " and the time of this backup were"
               : "the time of this backup was";
    return "The archive is complete, but " + what + " not stored: " + reason +
           "\rThe next backup leaves this archive alone and takes a new name.";
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

} // namespace mzb
