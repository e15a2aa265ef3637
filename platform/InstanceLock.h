#pragma once
// The lock that makes one copy the running one. It is an advisory lock on
// a file, held for the life of the object: the system drops it when the
// process ends in any way, a crash or SIGKILL included, so a copy that died
// never keeps the next one from starting, and of two copies started at the
// same moment exactly one gets it.

#include <string>

namespace mzb {

class InstanceLock {
public:
    enum class State {
        Held,          // this object holds the lock
        HeldElsewhere, // another process (or another lock object) holds it
        Unavailable,   // the lock file cannot be made or locked at all
    };

    // Tries once to take the lock on the file at `path`, creating it
    // (readable by the owner only) when it is missing.
    explicit InstanceLock(const std::string& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State Result() const { return state_; }

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

} // namespace mzb
