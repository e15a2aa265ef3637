#pragma once
// The name by which the running copy of the window is found: one per user
// and program directory, so a build folder and an installed copy, or two
// users, never take each other for the running copy.

#include <string>

namespace mzb {

// The local socket's path, in a folder only the user may enter, so that no
// other user can take the name first: $XDG_RUNTIME_DIR when it is such a
// folder, else morvaleen-zip-backup/ in the user's cache folder
// ($XDG_CACHE_HOME, by default ~/.cache), made 0700 when missing. Empty when
// neither can be had. The lock file that decides which copy runs is this
// path + ".lock".
std::string SingleCopySocketPath(const std::string& programDirectory);

} // namespace mzb
