#pragma once
// A project's retention rule applied to its archives on disk: after each
// complete, verified backup, and by `mzb prune`.

#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <string>
#include <vector>

namespace mzb {

struct PruneResult {
    std::vector<std::string> Deleted; // paths, newest first (with a dry run: would be)
    std::vector<std::string> Failed;  // "path: reason"
};

// Deletes the project's own archives (ProjectArchives.h) that its rule lets
// go at `now`, or with `dryRun` only lists them. `justWritten`, the archive
// the backup under way has just completed, is dated `now` and never
// deleted; when it is none of the project's own archives (a name typed
// over the computed one), nothing is. `projects` is every project, this
// one among them.
PruneResult PruneProject(const ProjectRecord& project, const std::vector<ProjectRecord>& projects,
                         LocalDateTime now, const std::string& justWritten, bool dryRun);

} // namespace mzb
