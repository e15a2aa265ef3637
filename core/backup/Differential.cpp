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

std::ptrdiff_t FindChain(const std::vector<ArchiveOnDisk>& archives, ChainFacts& chain) {
    chain = {};
    std::ptrdiff_t full = -1;
    for (size_t i = 0; i < archives.size(); ++i) {
        const Manifest& recorded = archives[i].Recorded;
        if (!recorded.IsFull() || recorded.Archive != archives[i].FileName)
            continue;
        if (full < 0 || recorded.MadeSeconds > archives[full].Recorded.MadeSeconds)
            full = static_cast<std::ptrdiff_t>(i);
    }
    if (full < 0)
        return -1;
    const ArchiveOnDisk& start = archives[full];
    chain.HasFull = true;
    chain.FullMadeSeconds = start.Recorded.MadeSeconds;
    chain.FullBytes = start.Bytes;
    std::int64_t newest = 0;
    bool seen = false;
    for (const ArchiveOnDisk& archive : archives) {
        const Manifest& recorded = archive.Recorded;
        if (recorded.IsFull() || recorded.FullArchive != start.FileName)
            continue;
        if (!seen || recorded.MadeSeconds >= newest) {
            newest = recorded.MadeSeconds;
            chain.LastDifferentialBytes = archive.Bytes;
            seen = true;
        }
    }
    return full;
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
