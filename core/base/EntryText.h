#pragma once
// Reading one small entry of an archive as text with the engine's reader,
// and the private folder that both that and writing such an entry need.

#include "zip/reader/ZipReader.h"

#include <filesystem>
#include <optional>
#include <string>

namespace mzb {

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
