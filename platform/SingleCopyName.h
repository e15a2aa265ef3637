#pragma once
// The name by which the running copy of the window is found: one per user
// and program directory, so a build folder and an installed copy, or two
// users, never take each other for the running copy.

#include <string>

namespace mzb {

// The local socket's path: in $XDG_RUNTIME_DIR (the user's private runtime
// folder) when it is set, otherwise in /tmp. The lock file that decides
// which copy runs is this path + ".lock".
std::string SingleCopySocketPath(const std::string& programDirectory);

} // namespace mzb
