#pragma once
// The lock that makes one copy the running one. It is an advisory lock on
// a file, held for the life of the process: the system drops it when the
// process ends in any way, a crash or SIGKILL included, so a copy that died
// never keeps the next one from starting, and of two copies started at the
// same moment exactly one gets it.

#include <optional>
#include <string>

namespace mzb {

class InstanceLock {
public:
    // Nothing when another process (or another lock of this one) holds it,
    // or when the lock file cannot be made.
    static std::optional<InstanceLock> TryAcquire(const std::string& path);

    InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    ~InstanceLock();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}

    int fd_;
};

} // namespace mzb
