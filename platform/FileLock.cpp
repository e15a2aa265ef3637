#include "platform/FileLock.h"

#include "platform/OwnFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace mzb {

std::optional<FileLock> FileLock::OnFile(const std::string& path, Mode mode, bool create,
                                         std::chrono::milliseconds bound) {
    const int fd = OpenOwnFile(path, O_RDONLY | (create ? O_CREAT : 0));
    if (fd < 0) {
        return std::nullopt;
    }
    FileLock lock(fd);
    LockWithin(fd, mode == Mode::Shared ? LOCK_SH : LOCK_EX, path, bound);
    return lock;
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
