#include "zip/io/FileCommit.h"

#include "zip/io/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace mzb {

bool TFileCommit::SyncFile(int fd) {
    return ::fsync(fd) == 0;
}

bool TFileCommit::Rename(const std::string& from, const std::string& to) {
    return RenameFile(from, to);
}

bool TFileCommit::SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

TFileCommit& SystemFileCommit() {
    static TFileCommit commit;
    return commit;
}

} // namespace mzb
