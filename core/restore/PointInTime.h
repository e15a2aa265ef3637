#pragma once
// Restoring the point in time an archive of a differential project records:
// each file its manifest lists comes from the archive holding its bytes (the
// chain's full archive or this one), and a file deleted before that time,
// absent from the manifest, does not come back.

#include "core/base/Manifest.h"
#include "core/restore/ArchiveGroups.h"

#include <functional>
#include <string>

namespace mzb {

ArchiveGroups PlanPointInTime(const Manifest& point,
                              const std::function<bool(const std::string& archive)>& present);

} // namespace mzb
