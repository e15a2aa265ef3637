#include "core/backup/Differential.h"

namespace mzb {

bool HasChanged(const ManifestFile& recorded, const FileState& now) {
    return recorded.Size != now.Size || recorded.ModifiedNs != now.ModifiedNs ||
           recorded.Mode != now.Mode || recorded.ChangedNs != now.ChangedNs;
}

DifferentialPlanner::DifferentialPlanner(const Manifest& full) {
    recorded_.reserve(full.Files.size());
    for (const ManifestFile& file : full.Files)
        recorded_.emplace(file.Name, Recorded{&file});
}

bool DifferentialPlanner::Add(const FileState& now) {
    const auto found = recorded_.find(now.Name);
    // A name the sources yield twice (overlapping items) is one file of the
    // manifest: recorded once, never added beside its record.
    if (found != recorded_.end() && found->second.Kept)
        return false;
    if (found == recorded_.end() || HasChanged(*found->second.File, now)) {
        plan_.ToAdd.push_back(now.Name);
        return true;
    }
    plan_.Unchanged.push_back(*found->second.File);
    found->second.Kept = true;
    return false;
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
