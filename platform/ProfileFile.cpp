#include "platform/ProfileFile.h"

#include "platform/FileLock.h"
#include "platform/OwnFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

// Closes a descriptor however the scope ends.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// The rest of the file, or nothing when a read fails.
std::optional<std::string> LoadBytes(int fd) {
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string LockPathOf(const std::string& target) {
    return target + ".lock";
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

constexpr std::string_view kTempInfix = ".tmp-";
constexpr std::size_t kTempUniqueLength = 6; // the XXXXXX of mkostemp

// Temporary files of writers killed before their rename. Only a writer
// holding the lock has one, so under the lock every one found is a leftover;
// each holds a copy of the file, scrambled passwords included.
void RemoveLeftoverTemporaryFiles(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + std::string(kTempInfix);
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* e = ::readdir(listing)) {
        const std::string_view name = e->d_name;
        if (name.size() == prefix.size() + kTempUniqueLength && name.starts_with(prefix)) {
            ::unlinkat(::dirfd(listing), e->d_name, 0);
        }
    }
    ::closedir(listing);
}

enum class Replaced { Done, DirectoryRefused, Failed };

// Writes the bytes beside the target and renames them over it, with the
// permissions the target had; on any failure the target is untouched and
// the temporary file gone. The temporary file is new (made exclusively), so
// nothing standing at its name is followed or opened.
Replaced ReplaceFile(const std::string& target, const std::string& bytes, mode_t permissions) {
    std::string temp = target + std::string(kTempInfix) + std::string(kTempUniqueLength, 'X');
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno == EACCES || errno == EPERM ? Replaced::DirectoryRefused : Replaced::Failed;
    }
    bool ok = ::fchmod(fd, permissions) == 0;
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return Replaced::Failed;
    }
    SyncDirectoryOf(target);
    return Replaced::Done;
}

// Overwrites the open file with the bytes. The room is taken before the
// first byte changes, so a full disk fails the update with the old text
// intact; only a file system that cannot reserve space skips that step.
bool RewriteInPlace(int fd, const std::string& bytes) {
    const auto size = static_cast<off_t>(bytes.size());
    if (size > 0 && ::fallocate(fd, 0, 0, size) != 0 && errno != EOPNOTSUPP) {
        return false;
    }
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes) && ::ftruncate(fd, size) == 0 &&
           ::fsync(fd) == 0;
}

} // namespace

ProfileText ProfileFile::Read() const {
    const auto lock = FileLock::OnFile(LockPathOf(path_), FileLock::Mode::Shared, false, lockWait_);
    const OpenFile file(OpenOwnFile(path_, O_RDONLY));
    if (file.get() < 0) {
        return ProfileText();
    }
    if (!lock) {
        // Without a lock file, a writer that updates in place locks the file.
        LockWithin(file.get(), LOCK_SH, path_, lockWait_);
    }
    const auto bytes = LoadBytes(file.get());
    return bytes ? ProfileText(*bytes) : ProfileText();
}

void ProfileFile::Update(const std::function<void(ProfileText&)>& edit) const {
    const auto lock =
        FileLock::OnFile(LockPathOf(path_), FileLock::Mode::Exclusive, true, lockWait_);
    // No lock file means a directory that cannot be written: then only an
    // update in place can succeed, and the file itself carries the lock.
    const OpenFile file(OpenOwnFile(path_, lock ? O_RDONLY : O_RDWR));
    if (file.get() < 0 && (errno != ENOENT || !lock)) {
        throw EProfileWriteError(path_);
    }
    if (!lock) {
        LockWithin(file.get(), LOCK_EX, path_, lockWait_);
    }
    const auto before = file.get() >= 0 ? LoadBytes(file.get()) : std::optional<std::string>("");
    if (!before) {
        throw EProfileWriteError(path_);
    }
    ProfileText text(*before);
    edit(text);
    const std::string after = text.Bytes();
    if (after == *before) {
        return;
    }
    // A new file is the owner's alone: it holds scrambled passwords.
    struct stat st {};
    const mode_t permissions =
        file.get() >= 0 && ::fstat(file.get(), &st) == 0 ? st.st_mode & 0777 : 0600;
    bool written = false;
    if (!lock) {
        written = RewriteInPlace(file.get(), after);
    } else {
        RemoveLeftoverTemporaryFiles(path_);
        switch (ReplaceFile(path_, after, permissions)) {
        case Replaced::Done:
            written = true;
            break;
        case Replaced::DirectoryRefused: {
            const OpenFile inPlace(OpenOwnFile(path_, O_WRONLY));
            written = inPlace.get() >= 0 && RewriteInPlace(inPlace.get(), after);
            break;
        }
        case Replaced::Failed:
            break;
        }
    }
    if (!written) {
        throw EProfileWriteError(path_);
    }
}

} // namespace mzb
