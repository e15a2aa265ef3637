#pragma once
// Comparison of names without regard to letter case, as section and key
// names of the profile file compare, and with them project names. Only the
// ASCII letters fold: other UTF-8 bytes compare as they stand, so the order
// never depends on the locale the program happens to run in.

#include <string_view>

namespace mzb {

constexpr char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) {
            return false;
        }
    }
    return true;
}

// Negative, zero or positive as a sorts before, with or after b. Bytes
// compare unsigned, so UTF-8 text sorts by code point after the fold.
constexpr int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(FoldAsciiCase(a[i]));
        const auto y = static_cast<unsigned char>(FoldAsciiCase(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace mzb
