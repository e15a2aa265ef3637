#pragma once
// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.

#include <filesystem>
#include <string>
#include <string_view>

namespace mzb::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as text with a trailing '/', the form the engine expects.
    std::string dir() const { return path_.string() + "/"; }

    // Writes a file (creating its parent directories) and returns its path.
    std::filesystem::path write(const std::string& relative, std::string_view contents) const;

private:
    std::filesystem::path path_;
};

// The whole contents of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);

} // namespace mzb::test
