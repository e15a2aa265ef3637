#include "zip/io/PartFile.h"

#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

bool IsPartName(const std::string& name, const std::string& prefix) {
    return name.size() == prefix.size() + kPartSuffixLength && name.starts_with(prefix);
}

// True when nobody holds the file: the lock taken here is released with
// the descriptor. A link or anything but a regular file is not ours.
bool IsAbandoned(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool abandoned =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return abandoned;
}

template <typename NameTest> int RemoveAbandoned(const std::string& dir, const NameTest& isPart) {
    const std::string base = WithTrailingSeparator(dir.empty() ? std::string(".") : dir);
    int removed = 0;
    DirListing listing(base);
    for (FileInfo entry; listing.Next(entry);) {
        if (isPart(entry.Name) && IsAbandoned(base + entry.Name) && DeleteFile(base + entry.Name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace

int CreatePartFile(const std::string& dir, const std::string& prefix, std::string& name) {
    const int fd = CreateOpenTempFile(dir, prefix, name);
    if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
        const int error = errno;
        ::close(fd);
        DeleteFile(name);
        name.clear();
        errno = error;
        return -1;
    }
    return fd;
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
