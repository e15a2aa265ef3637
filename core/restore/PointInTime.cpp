#include "core/restore/PointInTime.h"

namespace mzb {

ArchiveGroups PlanPointInTime(const Manifest& point,
                              const std::function<bool(const std::string& archive)>& present) {
    std::vector<ChosenFile> files;
    files.reserve(point.Files.size());
    for (const ManifestFile& file : point.Files) {
        files.push_back({file.Holder, file.Name});
    }
    return GroupByArchive(files, present);
}

} // namespace mzb
