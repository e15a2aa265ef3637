#pragma once
// Names as they are shown on a terminal or in a message. A Linux name may
// hold line breaks, tabs, escape sequences and bytes that are not UTF-8;
// printed as they are, they could move a terminal's cursor, change its
// colours or break a tab-separated listing.

#include <string>
#include <string_view>

namespace mzb {

// The name with every control character escaped: line feed, carriage return
// and tab as \n, \r and \t, other C0 controls and DEL as \xNN, C1 controls
// as \uNNNN, and each byte that is not part of a UTF-8 character as \xNN
// (hex in lower case). Everything else, '\' included, stays as it is, so an
// ordinary name prints unchanged.
std::string PrintableName(std::string_view name);

} // namespace mzb
