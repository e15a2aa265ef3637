#pragma once
// A project's own archives in its remote folder, found and dated by the
// same rules as in its save folder (ProjectArchives.h), and its retention
// rule applied to them: the remote copy keeps what the disk keeps.

#include "core/backup/Pruning.h"
#include "core/backup/Retention.h"
#include "core/project/ProjectRecord.h"
#include "core/remote/Rclone.h"

#include <string>
#include <vector>

namespace mzb {

struct RemoteArchiveList {
    std::vector<DatedArchive> Archives; // paths are remote paths
    std::string Error;                  // why the folder could not be listed
};

// The archives of the project's pattern in its remote folder that no other
// project copying to the same destination could have written. A date name
// takes its year from the remote's modification time, a number name its
// whole date (on remotes that keep no times, such as plain WebDAV, the time
// of the upload).
RemoteArchiveList FindRemoteArchives(Rclone& rclone, const ProjectRecord& project,
                                     const std::vector<ProjectRecord>& projects,
                                     const RcloneWatch& watch);

// Deletes the project's own remote archives that its retention rule lets go
// at `now`, never `justCopied` (a file name, dated `now`); with the rule
// "keep all", or when `justCopied` is not there, nothing. Paths in the
// result are remote paths.
PruneResult PruneRemote(Rclone& rclone, const ProjectRecord& project,
                        const std::vector<ProjectRecord>& projects, LocalDateTime now,
                        const std::string& justCopied, const RcloneWatch& watch);

// An RFC 3339 time as rclone lists it ("2026-12-09T21:20:17.5Z",
// "...+01:00") on the local clock; none for any other text.
std::optional<LocalDateTime> LocalTimeOfRfc3339(const std::string& text);

} // namespace mzb
