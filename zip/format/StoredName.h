#pragma once
// Entry names as the archive stores them and as the engine holds them.
//
// In memory a name is the bytes of a Linux path, with '/' between
// directories; a '\' is a character of a name like any other. The archive
// stores those bytes as they are: a name that is valid UTF-8 with bytes of
// 0x80 and above carries the UTF-8 flag, so that other tools show it as it
// is, and any other name goes without the flag, for the Unix host named in
// "version made by" to take byte for byte. Names read from MS-DOS and
// Windows hosts use '\' between directories (turned into '/') and, without
// the flag, code page 437, unless their extra field holds the name in UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

// The bytes written for directory + file name.
std::string EncodeStoredName(std::string_view directory, std::string_view fileName);

bool HasNonAsciiBytes(std::string_view name);
// True when a name must carry the UTF-8 flag: it has bytes of 0x80 and
// above, and they are UTF-8. Other tools refuse a whole archive in which a
// flagged name does not decode.
bool NeedsUtf8Flag(std::string_view name);

// Whether the host byte of a "version made by" names MS-DOS or Windows (FAT,
// VFAT, NTFS): names from there separate directories with '\' and, without
// the UTF-8 flag, are in code page 437.
bool IsDosHost(std::uint16_t versionMadeBy);

// The name held in memory for the bytes of a header. utf8Flag: the
// header's UTF-8 bit; dosHost: the name comes from an MS-DOS or Windows
// host (or from a header that names no host).
std::string DecodeStoredName(std::string_view raw, bool utf8Flag, bool dosHost);

// The UTF-8 name that an extra field's Unicode path block (0x7075) gives
// for rawName, when the block's CRC-32 shows it was made for those bytes;
// tools that store names in a legacy code page put the true name there.
// Its '\' separate directories only for an MS-DOS or Windows host.
std::optional<std::string> UnicodePathFromExtra(std::string_view extra, std::string_view rawName,
                                                bool dosHost);

// Splits after the last '/': the directory keeps its trailing '/', the file
// name is empty for a directory entry.
void SplitStoredName(std::string_view name, std::string& directory, std::string& fileName);

} // namespace mzb
