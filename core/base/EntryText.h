#pragma once
// Reading one small entry of an archive as text with the engine's reader,
// the guard that keeps the reader's settings, and the private folder that
// both reading and writing such an entry need.

#include "zip/reader/ZipReader.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

// The reading settings and events of a long-lived, shared reader that one
// read changes, put back however it ends: the next run must not meet them.
class ReaderSettingsKept {
public:
    explicit ReaderSettingsKept(TZipReader& reader);
    ~ReaderSettingsKept();
    ReaderSettingsKept(const ReaderSettingsKept&) = delete;
    ReaderSettingsKept& operator=(const ReaderSettingsKept&) = delete;

private:
    TZipReader& reader_;
    std::string zipName_;
    std::string destDir_;
    std::vector<std::string> filesList_;
    bool testOnly_;
    bool doAll_;
    bool recreateDirs_;
    TUZOverwriteMode overwrite_;
    TIncompleteZipMode incomplete_;
    std::string password_;
};

// A folder of the user's own, 0700 and empty at first, removed with
// whatever it holds: another local user can neither read nor plant a file
// in it. Throws std::runtime_error when it cannot be made.
class PrivateFolder {
public:
    PrivateFolder();
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The text of the archive's entry of that stored name (which holds no
// wildcard), decoded and checked; none when the archive cannot be read,
// lacks the entry or cannot give it whole. Every setting and event of the
// reader it uses is put back afterwards; a cancel is raised.
std::optional<std::string> ReadEntryText(TZipReader& reader, const std::string& path,
                                         const std::string& storedName,
                                         const std::string& password);

} // namespace mzb
