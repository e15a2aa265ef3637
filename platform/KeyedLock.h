#pragma once
// One key of a lock file, held exclusively without waiting: while one holder,
// in this process or another, has the key, a second is refused. Each key is
// one byte of the file at an offset hashed from it, so any number of keys
// share one file and leave nothing behind. The lock goes with the open file
// (an open-file-description lock), so a holder that dies releases it.

#include <cstdint>
#include <string>
#include <string_view>

namespace mzb {

class KeyedLock {
public:
    enum class State {
        Held,          // this object holds the key
        HeldElsewhere, // another holder has it
        Unavailable,   // the lock file cannot be had; Reason() says why
    };

    // Tries once, on the file at `path`, made owner-only when missing. Where
    // it cannot be made because its folder may not be written (one an
    // administrator prepared), the key is a byte of `fallback` instead, an
    // existing file every holder falls back to alike. Files are opened as
    // OwnFile.h describes: a link, a FIFO or another user's file makes the
    // key unavailable rather than letting that user hold or steer it.
    // Nobody may take an unavailable key for held.
    static KeyedLock TryAcquire(const std::string& path, std::string_view key,
                                const std::string& fallback = {});

    KeyedLock(KeyedLock&& other) noexcept;
    KeyedLock& operator=(KeyedLock&& other) noexcept;
    KeyedLock(const KeyedLock&) = delete;
    KeyedLock& operator=(const KeyedLock&) = delete;
    ~KeyedLock();

    State Result() const { return state_; }
    explicit operator bool() const { return state_ == State::Held; }
    // Why the key is unavailable: the file and the reason.
    const std::string& Reason() const { return reason_; }

private:
    KeyedLock(int fd, State state, std::string reason = {})
        : fd_(fd), state_(state), reason_(std::move(reason)) {}
    int fd_ = -1;
    State state_;
    std::string reason_;
};

// The byte a key locks: 62 bits of its FNV-1a hash, a non-negative file
// offset; two keys meet only by a chance no user will see.
std::int64_t KeyedLockOffset(std::string_view key);

} // namespace mzb
