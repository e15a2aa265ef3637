#include "core/backup/Pruning.h"

#include "core/backup/ProjectArchives.h"
#include "core/backup/Retention.h"
#include "core/base/EntryText.h"
#include "core/base/Manifest.h"
#include "zip/base/HeadlessHost.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace mzb {
namespace {

void NameFullArchives(std::vector<DatedArchive>& archives, const std::string& password) {
    HeadlessHost host;
    TZipReader reader(host);
    for (DatedArchive& archive : archives) {
        const std::optional<std::string> text =
            ReadEntryText(reader, archive.Path, std::string(kManifestEntryName), password);
        if (!text) {
            continue;
        }
        try {
            if (const Manifest recorded = ReadManifest(*text); !recorded.IsFull()) {
                archive.FullArchive = recorded.FullArchive;
            }
        } catch (const std::invalid_argument&) {
            // A damaged manifest names no full archive to keep.
        }
    }
}

} // namespace

PruneResult PruneProject(const ProjectRecord& project, const std::vector<ProjectRecord>& projects,
                         LocalDateTime now, const std::string& justWritten, bool dryRun) {
    PruneResult result;
    const RetentionRule rule = RetentionRuleOf(project);
    if (rule.Mode == KeepArchives::All) {
        return result;
    }
    std::vector<DatedArchive> archives = FindProjectArchives(project, projects);
    // Also when the project backs up in full now: its older differentials
    // still need their full archives.
    NameFullArchives(archives, project.Password);
    const auto written = std::find_if(archives.begin(), archives.end(),
                                      [&](const DatedArchive& a) { return a.Path == justWritten; });
    if (!justWritten.empty()) {
        // A name typed over the computed one: the rule would count the
        // project's archives without the backup just made.
        if (written == archives.end()) {
            return result;
        }
        written->Date = now;
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
