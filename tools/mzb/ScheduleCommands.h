#pragma once
// mzb schedule and mzb run-schedule: the schedule table without a window.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

// schedule [--now "YYYY-MM-DD HH:MM:SS"]
int RunScheduleTable(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
