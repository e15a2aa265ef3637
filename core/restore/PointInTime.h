#pragma once
// Restoring the point in time an archive of a differential project records:
// each file its manifest lists comes from the archive holding its bytes (the
// chain's full archive or this one), and a file deleted before that time,
// absent from the manifest, does not come back.

#include "core/base/Manifest.h"

#include <functional>
#include <string>
#include <vector>

namespace mzb {

struct HolderFiles {
    std::string Archive;            // file name in the restored archive's folder
    std::vector<std::string> Names; // stored names to extract from it
};

struct PointInTimePlan {
    // One group per holder that is there, in the order the manifest first names it.
    std::vector<HolderFiles> Extract;
    // Holders that are missing (or unreadable), with the files they would
    // have given: the restore names them and restores everything else.
    std::vector<HolderFiles> Missing;
};

PointInTimePlan PlanPointInTime(const Manifest& point,
                                const std::function<bool(const std::string& archive)>& present);

} // namespace mzb
