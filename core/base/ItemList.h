#pragma once
// The files a report names, one a line: a report must say what was lost
// and why, yet fit a message window, so a long list ends with a count.

#include <cstddef>
#include <string>
#include <vector>

namespace mzb {

// How many items a report names before it only counts the rest.
inline constexpr std::size_t kItemsNamed = 20;

// Each of the first kItemsNamed items on a line of its own ('\r' before
// it), indented by two blanks, control characters escaped; then, when
// there are more, "  ... and N more".
std::string ItemLines(const std::vector<std::string>& items);

} // namespace mzb
