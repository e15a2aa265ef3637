#pragma once
// mzb schedule and mzb run-schedule: the schedule table without a window.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

// schedule [--now "YYYY-MM-DD HH:MM:SS"]
int RunScheduleTable(const GlobalOptions& options, const Args& args);
// run-schedule [--minutes N]: N ticks a minute apart, the first at once, or
// ticks until SIGINT or SIGTERM. 0 when every backup completed, 1 when one
// was refused, 2 when one failed.
int RunRunSchedule(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
