#pragma once
// Entry names as the archive stores them and as the engine holds them.
//
// In memory a name is UTF-8 with '/' between directories. In the archive it
// uses '/' as well; a name with bytes of 0x80 and above is written as UTF-8
// with the UTF-8 flag, so that other tools show it as it is. Names read
// from elsewhere may use '\' (turned into '/') and, from MS-DOS hosts
// without the flag, code page 437, unless their extra field holds the
// name in UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace mzb {

// The bytes written for directory + file name.
std::string EncodeStoredName(std::string_view directory, std::string_view fileName);

// True when a name must carry the UTF-8 flag.
bool HasNonAsciiBytes(std::string_view name);

// The name held in memory for the bytes of a header. utf8Flag: the
// header's UTF-8 bit; legacyOem: the bytes may be in code page 437.
std::string DecodeStoredName(std::string_view raw, bool utf8Flag, bool legacyOem);

// The UTF-8 name that an extra field's Unicode path block (0x7075) gives
// for rawName, when the block's CRC-32 shows it was made for those bytes;
// tools that store names in a legacy code page put the true name there.
std::optional<std::string> UnicodePathFromExtra(std::string_view extra, std::string_view rawName);

// Splits after the last '/': the directory keeps its trailing '/', the file
// name is empty for a directory entry.
void SplitStoredName(std::string_view name, std::string& directory, std::string& fileName);

} // namespace mzb
