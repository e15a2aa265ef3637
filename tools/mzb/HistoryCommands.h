#pragma once
// mzb prune and mzb status: a project's archives as its retention rule
// leaves them, and how every project's backups stand.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

// Applies the project's retention rule and prints each archive deleted (or,
// with --dry-run, each that would be), one path a line: 0, or 1 when the
// project is unknown, backed up right now or an archive could not be deleted.
int RunPrune(const GlobalOptions& options, const Args& args);

// One tab-separated row per project: name, last backup, its result, next
// scheduled run, archives kept, their size in KiB, and STALE where the
// project has gone longer than its "Warn After Days" without a backup.
int RunStatus(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
