#pragma once
// What the main window is given by the program entry: where its files live
// and whether the desktop shows tray icons. The window tests give their own.

#include "platform/ProgramLayout.h"

namespace mzb {

struct ProgramSetup {
    ProgramLayout Layout;
    bool TrayAvailable = false;
};

} // namespace mzb
