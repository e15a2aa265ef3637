#include "core/restore/PointInTime.h"

#include <unordered_map>

namespace mzb {

PointInTimePlan PlanPointInTime(const Manifest& point,
                                const std::function<bool(const std::string& archive)>& present) {
    // A chain has two holders at most, but a manifest is untrusted input:
    // the map keeps a manifest of many holders linear.
    struct Slot {
        bool Present;
        size_t Index;
    };
    std::unordered_map<std::string, Slot> slots;
    PointInTimePlan plan;
    for (const ManifestFile& file : point.Files) {
        auto found = slots.find(file.Holder);
        if (found == slots.end()) {
            const bool there = present(file.Holder);
            auto& groups = there ? plan.Extract : plan.Missing;
            groups.push_back({file.Holder, {}});
            found = slots.emplace(file.Holder, Slot{there, groups.size() - 1}).first;
        }
        auto& groups = found->second.Present ? plan.Extract : plan.Missing;
        groups[found->second.Index].Names.push_back(file.Name);
    }
    return plan;
}

} // namespace mzb
