#include "platform/OwnFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mzb {
namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a device";
}

} // namespace

int OpenOwnFile(const std::string& path, int flags, mode_t mode) {
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == ELOOP) {
            throw EFileRefused(path, "it is a symbolic link, and links are not followed here");
        }
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFileRefused(path,
                           std::string("it is ") + KindOf(st.st_mode) + ", not a regular file");
    }
    if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        ::close(fd);
        throw EFileRefused(path,
                           "it belongs to another user (uid " + std::to_string(st.st_uid) + ")");
    }
    // Reads and writes of a regular file never wait anyway; this keeps the
    // descriptor as a plain open would have made it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void LockWithin(int fd, int operation, const std::string& path, std::chrono::milliseconds bound) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + bound;
    // Holders keep the lock for a read or one rewrite, a few milliseconds:
    // short pauses first, growing so that a long wait costs little.
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return; // a file system without locks: as before, unlocked
        }
        if (Clock::now() >= deadline) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
            throw EFileRefused(path, "another process has held it locked for " +
                                         (seconds > 0 ? std::to_string(seconds) + " seconds"
                                                      : std::to_string(bound.count()) + " ms") +
                                         "; try again once that process is done");
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace mzb
