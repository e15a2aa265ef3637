#include "core/backup/Differential.h"

#include <string_view>
#include <unordered_map>

namespace mzb {

bool HasChanged(const ManifestFile& recorded, const FileState& now) {
    return recorded.Size != now.Size || recorded.ModifiedNs != now.ModifiedNs ||
           recorded.Mode != now.Mode || recorded.ChangedNs != now.ChangedNs;
}

DifferentialPlan PlanDifferential(const Manifest& full, const std::vector<FileState>& now) {
    std::unordered_map<std::string_view, const ManifestFile*> recorded;
    recorded.reserve(full.Files.size());
    for (const ManifestFile& file : full.Files)
        recorded.emplace(file.Name, &file);
    DifferentialPlan plan;
    for (const FileState& file : now) {
        const auto found = recorded.find(file.Name);
        if (found == recorded.end() || HasChanged(*found->second, file))
            plan.ToAdd.push_back(file.Name);
        else
            plan.Unchanged.push_back(*found->second);
    }
    return plan;
}

FullReason FullBackupDue(const ChainFacts& chain, std::int64_t nowSeconds, int fullEveryDays) {
    constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
    if (!chain.HasFull)
        return FullReason::NoFull;
    if (nowSeconds - chain.FullMadeSeconds >= std::int64_t{fullEveryDays} * kSecondsPerDay)
        return FullReason::Age;
    if (chain.LastDifferentialBytes > chain.FullBytes / 2)
        return FullReason::Differential;
    return FullReason::None;
}

} // namespace mzb
