#pragma once
// A profile (INI) file on disk. Nothing is held between calls: every read
// loads the file afresh, and every update loads it, applies its edits and
// writes it back in one go.
//
// A rewrite goes to "<file>.tmp" in the same directory, is flushed to disk
// and then renamed over the file, so a crash or a full disk leaves either
// the old file or the new one, never a mixture. A new file is readable and
// writable by its owner only (it holds scrambled passwords); a rewritten one
// keeps its permissions. A link at the path is written through.

#include "platform/ProfileText.h"

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
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The file's text; empty when the file is missing or cannot be read, so
    // that every lookup gives its default.
    ProfileText Read() const;

    // Applies the edits to the current text and writes the result, or
    // nothing when the edits changed nothing. Throws EProfileWriteError when
    // the file exists but cannot be read (rewriting it from nothing would
    // lose it) or the new text cannot be written; errors the edit raises
    // pass through before anything is written.
    void Update(const std::function<void(ProfileText&)>& edit) const;

private:
    std::string path_;
};

} // namespace mzb
