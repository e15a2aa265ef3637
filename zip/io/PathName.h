#pragma once
// Splitting and joining the engine's path texts. Paths are UTF-8 byte
// strings with '/' as the only separator; a directory text that "ends in a
// separator" ends in '/'.

#include <string>
#include <string_view>

namespace mzb {

inline constexpr char kPathSeparator = '/';

// Everything up to and including the last separator; empty when there is none.
std::string DirectoryPart(std::string_view path);

// Everything after the last separator (the whole text when there is none).
std::string FileNamePart(std::string_view path);

// The directory with exactly the trailing separator it needs; an empty text
// stays empty, so "no directory" is never turned into the root.
std::string WithTrailingSeparator(std::string_view dir);

// The directory without its trailing separators, except that the root keeps
// its one.
std::string WithoutTrailingSeparator(std::string_view dir);

} // namespace mzb
