#pragma once
// What the main window is given by the program entry: where its files live
// and whether the desktop shows tray icons. The window tests give their own.

#include "platform/ProgramLayout.h"

#include <functional>

namespace mzb {

struct ProgramSetup {
    ProgramLayout Layout;
    // Asked at each minimise: a panel started after the program (as at a
    // login that starts it) brings its tray only later.
    std::function<bool()> TrayAvailable = [] { return false; };
};

} // namespace mzb
