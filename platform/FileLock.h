#pragma once
// The advisory lock that processes sharing one file take on a lock file
// beside it: shared by readers, exclusive by a writer. The lock lives on the
// lock file, not on the data file, so it survives the data file being
// replaced by a rename. It goes with the open file, so a process that dies,
// even by SIGKILL, releases it at once.

#include <chrono>
#include <optional>
#include <string>

namespace mzb {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    // Opens the lock file (with `create`, making it owner-only) and takes the
    // lock, waiting for another holder no longer than `bound`. Nothing when
    // there is no lock file and none can be made. A lock file that is not
    // the user's own regular file (OwnFile.h), or one held beyond the
    // bound, raises EFileRefused.
    static std::optional<FileLock> OnFile(const std::string& path, Mode mode, bool create,
                                          std::chrono::milliseconds bound);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace mzb
