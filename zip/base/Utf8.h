#pragma once
// Telling UTF-8 text from other bytes: names on Linux are bytes, and only
// some of them are text in UTF-8.

#include <cstddef>
#include <string_view>

namespace mzb {

// The length of the well-formed UTF-8 sequence (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF) at the front of the text;
// 0 when the text does not begin with one.
std::size_t Utf8SequenceLength(std::string_view text);

bool IsValidUtf8(std::string_view text);

} // namespace mzb
