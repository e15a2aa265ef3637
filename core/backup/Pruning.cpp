#include "core/backup/Pruning.h"

#include "core/backup/ProjectArchives.h"
#include "core/backup/Retention.h"

namespace mzb {

PruneResult PruneProject(const ProjectRecord& project, const std::vector<ProjectRecord>& projects,
                         LocalDateTime now, const std::string& justWritten, bool dryRun) {
    PruneResult result;
    const RetentionRule rule = RetentionRuleOf(project);
    if (rule.Mode == KeepArchives::All) {
        return result;
    }
    std::vector<DatedArchive> archives = FindProjectArchives(project, projects);
    for (DatedArchive& archive : archives) {
        if (archive.Path == justWritten) {
            archive.Date = now;
        }
    }
    for (const DatedArchive& archive : ArchivesToDelete(rule, std::move(archives), now)) {
        if (archive.Path == justWritten) {
            continue;
        }
        if (const std::string problem = dryRun ? std::string() : DeleteArchive(archive.Path);
            !problem.empty()) {
            result.Failed.push_back(archive.Path + ": " + problem);
        } else {
            result.Deleted.push_back(archive.Path);
        }
    }
    return result;
}

} // namespace mzb
