#pragma once
// The advisory lock that processes sharing one file take on a lock file
// beside it: shared by readers, exclusive by a writer. The lock lives on the
// lock file, not on the data file, so it survives the data file being
// replaced by a rename. It goes with the open file, so a process that dies,
// even by SIGKILL, releases it at once.

#include <optional>
#include <string>

namespace mzb {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    // Opens the lock file (with `create`, creating it owner-only) and waits
    // for the lock as long as it takes; nothing when the file cannot be opened.
    static std::optional<FileLock> OnFile(const std::string& path, Mode mode, bool create);
    // Waits for the lock on a file the caller holds open and will close.
    static void WaitOn(int fd, Mode mode);

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
