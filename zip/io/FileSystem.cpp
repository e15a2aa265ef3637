#include "zip/io/FileSystem.h"

#include "zip/base/DosDateTime.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mzb {

FileInfo InfoFromStat(std::string_view name, const struct stat& st, bool isLink) {
    FileInfo info;
    info.Name = name;
    info.Mode = static_cast<std::uint32_t>(st.st_mode) & 0xFFFF;
    info.WriteTime = st.st_mtim.tv_sec;
    info.WriteTimeNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    info.ChangeTime = st.st_ctim.tv_sec;
    info.ChangeTimeNanoseconds = static_cast<std::uint32_t>(st.st_ctim.tv_nsec);
    info.IsLink = isLink;
    info.Device = static_cast<std::uint64_t>(st.st_dev);
    info.Inode = static_cast<std::uint64_t>(st.st_ino);
    if (S_ISDIR(st.st_mode)) {
        info.Attributes |= kAttrDirectory;
    } else {
        info.Size = static_cast<std::uint64_t>(st.st_size);
        if (S_ISREG(st.st_mode)) {
            info.Attributes |= kAttrArchive;
        }
    }
    if ((st.st_mode & S_IWUSR) == 0) {
        info.Attributes |= kAttrReadOnly;
    }
    if (!info.Name.empty() && info.Name.front() == '.') {
        info.Attributes |= kAttrHidden;
    }
    return info;
}

namespace {

// Looks a path up; for a link, what it points to.
std::optional<FileInfo> InfoOf(const std::string& path, std::string_view name) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink && ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return InfoFromStat(name, st, isLink);
}

// The access time is left as it is: archives keep none.
std::array<struct timespec, 2> WriteTimeOnly(TFileTime when) {
    return {{{0, UTIME_OMIT},
             {static_cast<std::time_t>(when.Seconds), static_cast<long>(when.Nanoseconds)}}};
}

bool StatFollowing(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::uint32_t ExternalAttributes(const FileInfo& info) {
    return info.Mode << 16 | info.Attributes;
}

std::optional<FileInfo> FileInfoOf(const std::string& path) {
    return InfoOf(path, FileNamePart(WithoutTrailingSeparator(path)));
}

std::optional<FileInfo> FileInfoAt(int dirFd, const std::string& name) {
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return InfoFromStat(name, st, S_ISLNK(st.st_mode));
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return StatFollowing(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return StatFollowing(path, st) && S_ISDIR(st.st_mode);
}

DirListing::DirListing(std::string dir, bool followLink) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    // A trailing '/' would have the link followed whatever the flags say.
    const std::string path = WithoutTrailingSeparator(dir);
    const int fd = ::open(path.c_str(), followLink ? kFlags : kFlags | O_NOFOLLOW);
    DIR* stream = fd < 0 ? nullptr : ::fdopendir(fd);
    if (stream == nullptr) {
        error_ = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        device_ = static_cast<std::uint64_t>(st.st_dev);
        inode_ = static_cast<std::uint64_t>(st.st_ino);
    }
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (entry == nullptr) {
            error_ = errno;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    // Sorted before they are looked up: moving names is cheaper than moving
    // what a look-up found.
    std::sort(names.begin(), names.end(), std::greater<>());
    LookUp(fd, std::move(names));
    ::closedir(stream);
}

void DirListing::LookUp(int dirFd, std::vector<std::string> names) {
    pending_.reserve(names.size());
    for (auto& name : names) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since the listing was read is no failure; a directory
            // that can be listed but not entered is.
            if (errno != ENOENT && error_ == 0) {
                error_ = errno;
            }
            continue;
        }
        const bool isLink = S_ISLNK(st.st_mode);
        if (isLink && ::fstatat(dirFd, name.c_str(), &st, 0) != 0) {
            continue; // a link to nothing
        }
        pending_.push_back(InfoFromStat(name, st, isLink));
    }
}

bool DirListing::Next(FileInfo& entry) {
    if (pending_.empty()) {
        return false;
    }
    entry = std::move(pending_.back());
    pending_.pop_back();
    return true;
}

bool ForceDirectories(const std::string& dir) {
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return DirectoryExists(dir);
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool SetFileWriteTime(const std::string& path, TFileTime when) {
    return ::utimensat(AT_FDCWD, path.c_str(), WriteTimeOnly(when).data(), AT_SYMLINK_NOFOLLOW) ==
           0;
}

bool SetFileDosDateTime(const std::string& path, std::uint32_t dosDateTime) {
    const auto when = DosDateTimeToTime(dosDateTime);
    return when && SetFileWriteTime(path, {*when, 0});
}

std::uint32_t PermissionsFromAttributes(std::uint32_t currentMode,
                                        std::uint32_t externalAttributes) {
    constexpr std::uint32_t kPermissions = 0777;
    const std::uint32_t unixMode = externalAttributes >> 16;
    if (unixMode != 0) {
        return unixMode & kPermissions;
    }
    const std::uint32_t mode = currentMode & kPermissions;
    return (externalAttributes & kAttrReadOnly) != 0 ? mode & ~0222u : mode | S_IWUSR;
}

bool SetFileAttributes(const std::string& path, std::uint32_t externalAttributes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return false;
    }
    return ::chmod(path.c_str(), static_cast<mode_t>(PermissionsFromAttributes(
                                     st.st_mode, externalAttributes))) == 0;
}

bool SetOpenFileWriteTime(int fd, TFileTime when) {
    return ::futimens(fd, WriteTimeOnly(when).data()) == 0;
}

int OpenRegularForRead(const std::string& path) {
    // O_NONBLOCK lets the open of a FIFO return at once; the type check
    // then refuses it, and a regular file reads the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int OpenForWriteNoFollow(const std::string& path) {
    // O_NONBLOCK keeps a FIFO that appears at the path from stalling the
    // open; the type check below then refuses it.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    constexpr int kAttempts = 3; // a link re-created between removal and open
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                if (::unlink(path.c_str()) != 0) {
                    return -1;
                }
            } else if (!S_ISREG(st.st_mode)) {
                errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
                return -1;
            }
        }
        const int fd = ::open(path.c_str(), kFlags, 0666);
        if (fd < 0) {
            if (errno == ELOOP) {
                continue;
            }
            return -1;
        }
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            errno = EINVAL;
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    errno = ELOOP;
    return -1;
}

} // namespace mzb
