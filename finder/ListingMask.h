#pragma once
// The directory listing's own wildcard rule for name masks: "*" is any run of
// characters, "?" exactly one, letters compare without regard to case. As on
// the desktop systems these masks come from, a name without a dot also
// matches as if it ended in one, so "*.*" lists every name and "readme.*"
// finds "readme".

#include <string_view>

namespace mzb {

bool MatchesListingMask(std::string_view name, std::string_view mask);

} // namespace mzb
