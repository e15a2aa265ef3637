#include "zip/io/InputOpener.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace mzb {

TInputOpener::~TInputOpener() {
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

// The descriptor of the folder the path names, or AT_FDCWD for a bare file
// name; -1 when that folder cannot be reached.
int TInputOpener::FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return AT_FDCWD;
    }
    const std::string_view folder(path.data(), slash + 1);
    if (folderFd_ >= 0 && folder == folder_) {
        return folderFd_;
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
    folder_ = folder;
    // O_PATH asks only for the search permission a path through it needs.
    folderFd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) {
        folder_.clear();
    }
    return folderFd_;
}

int TInputOpener::Open(const std::string& path, TFileStream& stream, struct stat& status) {
    stream.Close();
    const int folder = FolderOf(path);
    if (folder == -1) {
        return errno;
    }
    const char* name = path.c_str() + path.rfind('/') + 1;
    // O_NONBLOCK lets the open of a FIFO return at once, for the type check
    // to refuse it; a regular file reads the same with it, so it stays set
    // rather than cost a call per file to clear.
    const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    if (!stream.Attach(fd, &status)) {
        return stream.LastError();
    }
    if (!S_ISREG(status.st_mode)) {
        stream.Close();
        return EINVAL;
    }
    return 0;
}

} // namespace mzb
