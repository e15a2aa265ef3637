#include "finder/ListingMask.h"

#include <string>

namespace mzb {

namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Iterative glob with one backtrack point: linear in practice and never
// recursive, so hostile names and masks cannot blow the stack.
bool Glob(std::string_view name, std::string_view mask) {
    size_t n = 0;
    size_t m = 0;
    size_t starMask = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || Fold(mask[m]) == Fold(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}

} // namespace

bool MatchesListingMask(std::string_view name, std::string_view mask) {
    if (Glob(name, mask)) {
        return true;
    }
    return name.find('.') == std::string_view::npos && Glob(std::string(name) + '.', mask);
}

} // namespace mzb
