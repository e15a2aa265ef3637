#include "platform/KeyedLock.h"

#include "platform/OwnFile.h"

#include <cerrno>
#include <cstring>
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

KeyedLock KeyedLock::TryAcquire(const std::string& path, std::string_view key,
                                const std::string& fallback) {
    int fd = -1;
    try {
        fd = OpenOwnFile(path, O_RDWR | O_CREAT);
        const int error = errno;
        const bool folderRefused = error == EACCES || error == EPERM || error == EROFS;
        if (fd < 0 && folderRefused && !fallback.empty() && ::access(path.c_str(), F_OK) != 0) {
            fd = OpenOwnFile(fallback, O_RDWR);
            if (fd < 0) {
                return KeyedLock(-1, State::Unavailable,
                                 "Cannot use " + fallback + ": " + std::strerror(errno));
            }
        }
        if (fd < 0) {
            return KeyedLock(-1, State::Unavailable,
                             "Cannot use " + path + ": " + std::strerror(error));
        }
    } catch (const EFileRefused& refused) {
        return KeyedLock(-1, State::Unavailable, refused.what());
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
        const int error = errno;
        ::close(fd);
        if (error == EAGAIN || error == EACCES) {
            return KeyedLock(-1, State::HeldElsewhere);
        }
        return KeyedLock(-1, State::Unavailable,
                         "Cannot use " + path + ": " + std::strerror(error));
    }
    return KeyedLock(fd, State::Held);
}

KeyedLock::KeyedLock(KeyedLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, State::Unavailable)),
      reason_(std::move(other.reason_)) {}

KeyedLock& KeyedLock::operator=(KeyedLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Unavailable);
        reason_ = std::move(other.reason_);
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
