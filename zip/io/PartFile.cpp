#include "zip/io/PartFile.h"

#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

bool IsPartName(const std::string& name, const std::string& prefix) {
    return name.size() == prefix.size() + kPartSuffixLength && name.starts_with(prefix);
}

// A part file is made again when a cleaner removed it between its
// creation and its lock; a few tries are plenty for a race that rare.
constexpr int kCreateAttempts = 8;

// True when the name still leads to the open file.
bool NameHolds(const std::string& path, int fd) {
    struct stat byName {};
    struct stat byFd {};
    return ::lstat(path.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

// Removes the file when nobody holds it, and only under its lock: a writer
// that created it and waits for the lock finds it gone and makes another.
// A link or anything but a regular file is not ours.
bool RemoveIfAbandoned(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                         ::flock(fd, LOCK_EX | LOCK_NB) == 0 && NameHolds(path, fd) &&
                         DeleteFile(path);
    ::close(fd);
    return removed;
}

template <typename NameTest> int RemoveAbandoned(const std::string& dir, const NameTest& isPart) {
    const std::string base = WithTrailingSeparator(dir.empty() ? std::string(".") : dir);
    int removed = 0;
    DirListing listing(base);
    for (FileInfo entry; listing.Next(entry);) {
        if (isPart(entry.Name) && RemoveIfAbandoned(base + entry.Name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace

int CreatePartFile(const std::string& dir, const std::string& prefix, std::string& name) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const int fd = CreateOpenTempFile(dir, prefix, name);
        if (fd < 0) {
            return -1;
        }
        if (::flock(fd, LOCK_EX) != 0) {
            const int error = errno;
            ::close(fd);
            DeleteFile(name);
            name.clear();
            errno = error;
            return -1;
        }
        if (NameHolds(name, fd)) {
            return fd;
        }
        ::close(fd);
    }
    name.clear();
    errno = EAGAIN;
    return -1;
}

int RemoveStaleParts(const std::string& dir, const std::string& prefix) {
    return RemoveAbandoned(dir, [&](const std::string& name) { return IsPartName(name, prefix); });
}

int RemoveStalePartsEndingIn(const std::string& dir, const std::string& ending) {
    return RemoveAbandoned(dir, [&](const std::string& name) {
        // "." and at least one character of the archive's own name first.
        const std::size_t fixed = 2 + ending.size() + kPartSuffixLength;
        return name.size() >= fixed && name[0] == '.' &&
               name.compare(name.size() - kPartSuffixLength - ending.size(), ending.size(),
                            ending) == 0;
    });
}

} // namespace mzb
