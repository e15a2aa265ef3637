#pragma once
// One key of a lock file, held exclusively without waiting: while one holder,
// in this process or another, has the key, a second is refused. Each key is
// one byte of the file at an offset hashed from it, so any number of keys
// share one file and leave nothing behind. The lock goes with the open file
// (an open-file-description lock), so a holder that dies releases it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

class KeyedLock {
public:
    // Nothing when another holds the key. When the lock file cannot be
    // opened at all (a folder nobody may write), the lock cannot be had by
    // anyone and the result holds nothing.
    static std::optional<KeyedLock> TryAcquire(const std::string& path, std::string_view key);

    KeyedLock(KeyedLock&& other) noexcept;
    KeyedLock& operator=(KeyedLock&& other) noexcept;
    KeyedLock(const KeyedLock&) = delete;
    KeyedLock& operator=(const KeyedLock&) = delete;
    ~KeyedLock();

private:
    explicit KeyedLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The byte a key locks: 62 bits of its FNV-1a hash, a non-negative file
// offset; two keys meet only by a chance no user will see.
std::int64_t KeyedLockOffset(std::string_view key);

} // namespace mzb
