#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace mzb {

std::optional<FileLock> FileLock::OnFile(const std::string& path, Mode mode, bool create) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        return std::nullopt;
    }
    WaitOn(fd, mode);
    return FileLock(fd);
}

void FileLock::WaitOn(int fd, Mode mode) {
    while (::flock(fd, mode == Mode::Shared ? LOCK_SH : LOCK_EX) != 0 && errno == EINTR) {
    }
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

// Closing the file releases the lock.
FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace mzb
