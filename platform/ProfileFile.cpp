#include "platform/ProfileFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

// The whole file, or nothing with the reason in error when it cannot be read.
std::optional<std::string> LoadBytes(const std::string& path, int& error) {
    error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
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

// Where the bytes really go: the target of a link at the path, so that a
// profile kept elsewhere and linked in stays where its owner put it.
std::string ResolvedTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

void SyncDirectoryOf(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes the bytes beside the target and renames them over it; false on
// any failure, with the target untouched and the temporary file gone.
bool ReplaceFile(const std::string& target, const std::string& bytes) {
    const std::string temp = target + ".tmp";
    // A leftover from an interrupted rewrite is ours to drop. Anything else
    // standing there (a directory, say) makes the exclusive create fail.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = true;
    if (::stat(target.c_str(), &st) == 0) {
        ok = ::fchmod(fd, st.st_mode & 0777) == 0;
    }
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

} // namespace

ProfileText ProfileFile::Read() const {
    int error = 0;
    const auto bytes = LoadBytes(path_, error);
    return bytes ? ProfileText(*bytes) : ProfileText();
}

void ProfileFile::Update(const std::function<void(ProfileText&)>& edit) const {
    int error = 0;
    const auto before = LoadBytes(path_, error);
    if (!before && error != ENOENT) {
        throw EProfileWriteError(path_);
    }
    ProfileText text = before ? ProfileText(*before) : ProfileText();
    edit(text);
    const std::string after = text.Bytes();
    if (before ? after == *before : after.empty()) {
        return;
    }
    if (!ReplaceFile(ResolvedTarget(path_), after)) {
        throw EProfileWriteError(path_);
    }
}

} // namespace mzb
