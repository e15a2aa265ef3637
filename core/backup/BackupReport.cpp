#include "core/backup/BackupReport.h"

#include "zip/base/PrintableName.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace mzb {

namespace {

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
