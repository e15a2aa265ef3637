#pragma once
// The decisions the main window's creation and close make from the
// settings of "Common", apart from its controls.

#include "core/project/CommonSettings.h"

#include <string>
#include <vector>

namespace mzb {

// The entry of the sorted project list that start-up selects: "Last
// Project", letter case ignored, else the first; -1 for an empty list.
int StartupProjectIndex(const std::vector<std::string>& names, const std::string& lastProject);

// The start-minimised flag: "Is Minimized" counts only with "Auto Run".
bool StartsMinimized(const CommonSettings& settings);

} // namespace mzb
