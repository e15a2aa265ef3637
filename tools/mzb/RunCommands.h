#pragma once
// mzb backup and mzb restore: one run as the window makes it, without a
// window.

#include "core/backup/StoredProjectBackup.h"
#include "tools/mzb/Commands.h"

namespace mzb::cli {

// Loads the project as the editor would and backs it up as the schedule
// does: 0 for a written archive, 1 for a refusal, 2 for a failure.
int RunBackupProject(const GlobalOptions& options, const Args& args);
int BackupExitStatus(StoredBackupResult result);

int RunRestore(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
