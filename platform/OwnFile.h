#pragma once
// The program's own files in folders other users may reach (project.ini,
// its locks and temporary files, the single-copy lock): opened without
// following a link and without waiting for a writer, then checked to be a
// regular file of the running user's own (or root's, who may change
// anything anyway). Anything else could have been put there by another
// user to be read, written through, held or waited on, and is refused with
// its path and the reason.

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace mzb {

// "Cannot use <path>: <reason>".
class EFileRefused : public std::runtime_error {
public:
    EFileRefused(const std::string& path, const std::string& reason)
        : std::runtime_error("Cannot use " + path + ": " + reason) {}
};

// Opens the path with `flags` (O_CREAT makes it with `mode`). Returns the
// descriptor, or -1 with errno when there is nothing to open (ENOENT,
// EACCES, a folder: EISDIR). Throws EFileRefused for a link, a FIFO, a
// device or a socket, and a file of another user.
int OpenOwnFile(const std::string& path, int flags, mode_t mode = 0600);

// Takes flock's `operation` (LOCK_SH or LOCK_EX) on an open file, waiting
// while another holds it, but no longer than `bound`; then throws
// EFileRefused naming the path.
void LockWithin(int fd, int operation, const std::string& path, std::chrono::milliseconds bound);

// Writes all the bytes to the open file; false when any could not be.
bool WriteAll(int fd, std::string_view bytes);

} // namespace mzb
