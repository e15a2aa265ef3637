#include "zip/io/PartFile.h"

#include "zip/io/PathName.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Each try draws new characters; a folder holding this many namesakes is
// being flooded on purpose. A part file a cleaner removed between its
// creation and its lock takes a try too, a race far rarer still.
constexpr int kNameAttempts = 100;

bool IsPartName(std::string_view name, const std::string& prefix) {
    return name.size() == prefix.size() + kPartSuffixLength && name.starts_with(prefix);
}

int OpenFolder(const std::string& dir) {
    return ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Uniqueness comes from O_EXCL; randomness keeps the names from being
// guessed and taken first.
bool RandomSuffix(std::string& suffix) {
    unsigned char bytes[kPartSuffixLength] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        return false;
    }
    suffix.clear();
    for (const unsigned char b : bytes) {
        suffix += kNameCharacters[b % kNameCharacters.size()];
    }
    return true;
}

// True when the name in the folder still leads to the open file.
bool NameHolds(int dirFd, const char* name, int fd) {
    struct stat byName {};
    struct stat byFd {};
    return ::fstatat(dirFd, name, &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

// Removes the file when nobody holds it, and only under its lock: a writer
// that created it and waits for the lock finds it gone and makes another.
// A link or anything but a regular file is not ours.
bool RemoveIfAbandoned(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                         ::flock(fd, LOCK_EX | LOCK_NB) == 0 && NameHolds(dirFd, name, fd) &&
                         ::unlinkat(dirFd, name, 0) == 0;
    ::close(fd);
    return removed;
}

template <typename NameTest> int RemoveAbandoned(int dirFd, const NameTest& isPart) {
    const int listed = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    DIR* listing = listed < 0 ? nullptr : ::fdopendir(listed);
    if (listing == nullptr) {
        if (listed >= 0) {
            ::close(listed);
        }
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(listing)) {
        if (isPart(std::string_view(e->d_name)) && RemoveIfAbandoned(dirFd, e->d_name)) {
            ++removed;
        }
    }
    ::closedir(listing);
    return removed;
}

template <typename NameTest> int RemoveAbandoned(const std::string& dir, const NameTest& isPart) {
    const int fd = OpenFolder(dir);
    if (fd < 0) {
        return 0;
    }
    const int removed = RemoveAbandoned(fd, isPart);
    ::close(fd);
    return removed;
}

} // namespace

int CreatePartFileAt(int dirFd, const std::string& prefix, std::string& name) {
    std::string suffix;
    for (int attempt = 0; attempt < kNameAttempts && RandomSuffix(suffix); ++attempt) {
        name = prefix + suffix;
        const int fd =
            ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) {
            if (NameHolds(dirFd, name.c_str(), fd)) {
                return fd;
            }
            ::close(fd); // removed before its lock: made again
            continue;
        }
        if (fd >= 0) {
            const int error = errno;
            ::close(fd);
            ::unlinkat(dirFd, name.c_str(), 0);
            errno = error;
        }
        break;
    }
    name.clear();
    return -1;
}

int CreateUnnamedAt(int dirFd, mode_t mode) {
    // Without /proc an unnamed file could never be given its name on a
    // kernel that refuses to link it by its descriptor.
    static const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
    if (!canLink) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::openat(dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
}

// Older kernels let only a capability ordinary users lack link by the
// descriptor itself, and refuse with ENOENT (a security module may refuse
// otherwise); its /proc link is allowed everywhere, but looking that path
// up costs as much as writing a small file. The descriptor is tried until
// the kernel is seen to refuse it where the /proc link works (a refusal
// alone may mean the folder is gone).
bool LinkUnnamedAt(int fd, int dirFd, const std::string& name) {
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno == EEXIST) {
            return false;
        }
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return false;
    }
    byDescriptor.store(false, std::memory_order_relaxed);
    return true;
}

bool LinkAsPartFileAt(int dirFd, int fd, const std::string& prefix, std::string& name) {
    if (::flock(fd, LOCK_EX) != 0) {
        return false;
    }
    std::string suffix;
    for (int attempt = 0; attempt < kNameAttempts && RandomSuffix(suffix); ++attempt) {
        name = prefix + suffix;
        if (LinkUnnamedAt(fd, dirFd, name)) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    name.clear();
    return false;
}

int CreatePartFile(const std::string& dir, const std::string& prefix, std::string& name) {
    const int dirFd = OpenFolder(dir);
    if (dirFd < 0) {
        name.clear();
        return -1;
    }
    const int fd = CreatePartFileAt(dirFd, prefix, name);
    const int error = errno;
    ::close(dirFd);
    errno = error;
    if (fd >= 0) {
        name = WithTrailingSeparator(dir) + name;
    }
    return fd;
}

int RemoveStaleParts(const std::string& dir, const std::string& prefix) {
    return RemoveAbandoned(dir, [&](std::string_view name) { return IsPartName(name, prefix); });
}

int RemoveStalePartsAt(int dirFd, const std::string& prefix) {
    return RemoveAbandoned(dirFd, [&](std::string_view name) { return IsPartName(name, prefix); });
}

int RemoveStalePartsEndingIn(const std::string& dir, const std::string& ending) {
    return RemoveAbandoned(dir, [&](std::string_view name) {
        // "." and at least one character of the archive's own name first.
        const std::size_t fixed = 2 + ending.size() + kPartSuffixLength;
        return name.size() >= fixed && name[0] == '.' &&
               name.compare(name.size() - kPartSuffixLength - ending.size(), ending.size(),
                            ending) == 0;
    });
}

} // namespace mzb
