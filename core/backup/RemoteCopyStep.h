#pragma once
// The step of a backup run after the archive is complete: its copy, and the
// copies still owed from earlier backups, to the project's remote
// destination. The local backup is done before it starts and stays done
// whatever happens here; the step only reports.

#include "core/backup/BackupJob.h"
#include "core/base/RunHost.h"
#include "core/project/ProjectStore.h"
#include "core/remote/Rclone.h"

#include <string>

namespace mzb {

// With a destination set (the project's RemoteCopy): the archive joins the
// project's pending list (so that even a run killed during the copy sends
// it next time), the list is copied, what did not arrive is stored as
// pending again, and the report is shown. After a `complete` backup whose
// archive arrived, the project's retention rule runs over its remote
// archives too, the report listing what it deleted. True when every copy
// arrived or no destination is set.
bool RunRemoteCopyStep(const ProjectRecord& project, bool complete, const std::string& archivePath,
                       const ProjectStore& store, BackupWriter& writer, RunHost& host,
                       Rclone& rclone);

} // namespace mzb
