#pragma once
// What our own reader gives back from an archive, for tests that compare it
// with what went in.

#include <map>
#include <string>

namespace mzb::test {

// Every regular file below the folder, by its path relative to the folder.
std::map<std::string, std::string> FilesBelow(const std::string& folder);

// Extracts every entry with its stored folders into dest, overwriting, and
// returns the files found below dest.
std::map<std::string, std::string> ExtractAll(const std::string& archive, const std::string& dest,
                                              const std::string& password = {});

} // namespace mzb::test
