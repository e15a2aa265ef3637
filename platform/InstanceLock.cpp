#include "platform/InstanceLock.h"

#include "platform/OwnFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mzb {

InstanceLock::InstanceLock(const std::string& path) {
    int fd = -1;
    try {
        fd = OpenOwnFile(path, O_RDWR | O_CREAT);
    } catch (const EFileRefused&) {
        return; // another user's file: no copy of ours holds it
    }
    if (fd < 0) {
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        state_ = State::Held;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
    ::close(fd);
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace mzb
