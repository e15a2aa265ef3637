#pragma once
// Code page 437, the character set of names stored by MS-DOS hosts without
// the UTF-8 flag.

#include <string>
#include <string_view>

namespace mzb {

// Bytes below 0x80 are ASCII and stay as they are; the upper half becomes
// the UTF-8 form of its character.
std::string Cp437ToUtf8(std::string_view text);

} // namespace mzb
