#pragma once
// mzb restore: one restore run as the window makes it, without a window.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

int RunRestore(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
