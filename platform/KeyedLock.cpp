#include "platform/KeyedLock.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace mzb {

std::int64_t KeyedLockOffset(std::string_view key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::int64_t>(hash >> 2);
}

std::optional<KeyedLock> KeyedLock::TryAcquire(const std::string& path, std::string_view key) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return KeyedLock(-1);
    }
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(KeyedLockOffset(key));
    range.l_len = 1;
    // Open-file-description locks, unlike classic record locks, are not
    // dropped when any other descriptor of the file in this process closes,
    // and two opens in one process exclude each other like two processes.
    int result = 0;
    while ((result = ::fcntl(fd, F_OFD_SETLK, &range)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return KeyedLock(fd);
}

KeyedLock::KeyedLock(KeyedLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

KeyedLock& KeyedLock::operator=(KeyedLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

// Closing the file releases the key.
KeyedLock::~KeyedLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace mzb
