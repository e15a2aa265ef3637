#pragma once
// What counts as a blank around a profile value or a text taken from a
// field: spaces and tabs. Line breaks never reach here, since a profile line
// ends at them and the fields are single-line.

#include <string_view>

namespace mzb {

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text without blanks at either end (a view into the same bytes).
constexpr std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace mzb
