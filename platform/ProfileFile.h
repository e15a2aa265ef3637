#pragma once
// A profile (INI) file on disk, shared by every process of the program that
// runs at the same time (the window, the command-line tool, a cron job).
// Nothing is held between calls: every read loads the file afresh, and every
// update loads it, applies its edits and writes it back in one go.
//
// An update holds an exclusive lock on "<file>.lock" beside the file from
// its read to its rename, so no two updates interleave and none is lost; a
// read holds the shared lock. The new text goes to a temporary file of a
// unique name in the same directory ("<file>.tmp-XXXXXX", created
// exclusively, owner-only), is flushed to disk, renamed over the file, and
// the directory is flushed too, so a crash or a full disk leaves either the
// old file or the new one, never a mixture; the next update removes the
// temporary file a killed writer left. A new file is readable and
// writable by its owner only (it holds scrambled passwords); a rewritten one
// keeps its permissions.
//
// The file and its lock file are opened as OwnFile.h describes: a link, a
// FIFO, a device or another user's file at either name is refused with
// EFileRefused, and a lock another process holds is waited for no longer
// than the wait given (then EFileRefused too), so that nobody else can
// steer, read or stall the program through them.
//
// A file that may be written in a directory that may not (one an
// administrator prepared) is rewritten in place instead: room for the new
// text is reserved first, so a full disk stops the update before a byte
// changes, and the file is flushed before the lock goes. Where not even the
// lock file can be made, the file itself carries the lock.

#include "platform/ProfileText.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace mzb {

// A profile file could not be written: "Unable to write to <path>". The
// file is then exactly as it was before the update.
class EProfileWriteError : public std::runtime_error {
public:
    explicit EProfileWriteError(const std::string& path)
        : std::runtime_error("Unable to write to " + path) {}
};

class ProfileFile {
public:
    // How long a lock another process holds is waited for by default: far
    // beyond any read or rewrite, which take milliseconds.
    static constexpr std::chrono::milliseconds kLockWait{10000};

    explicit ProfileFile(std::string path, std::chrono::milliseconds lockWait = kLockWait)
        : path_(std::move(path)), lockWait_(lockWait) {}

    const std::string& Path() const { return path_; }

    // The file's text; empty when the file is missing or cannot be read, so
    // that every lookup gives its default. A refused file raises EFileRefused.
    ProfileText Read() const;

    // Applies the edits to the current text and writes the result, or
    // nothing when the edits changed nothing. Throws EProfileWriteError when
    // the file exists but cannot be read (rewriting it from nothing would
    // lose it) or the new text cannot be written; errors the edit raises
    // pass through before anything is written.
    void Update(const std::function<void(ProfileText&)>& edit) const;

private:
    std::string path_;
    std::chrono::milliseconds lockWait_;
};

} // namespace mzb
