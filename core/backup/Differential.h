#pragma once
// What a differential project's backup holds. A differential archive holds
// every file that is new or changed since the chain's full backup (not
// since the last differential), so a point in time needs at most two
// archives: its full one and itself. A file changed when its size,
// modification time, mode or inode change time differ from what the full
// backup's manifest recorded; the change time catches a file replaced by
// one of equal size and modification time, which Linux gives no other
// trace of.

#include "core/base/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mzb {

// A file the backup's sources yield now, as the file system reports it.
struct FileState {
    std::string Name; // stored name
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::uint32_t Mode = 0;
    std::int64_t ChangedNs = 0;
};

bool HasChanged(const ManifestFile& recorded, const FileState& now);

struct DifferentialPlan {
    // Files to add to the differential archive: new or changed, in the order given.
    std::vector<std::string> ToAdd;
    // The full manifest's records of the files that stay as they were,
    // their bytes still in the full archive. Files of the full manifest in
    // neither list were deleted since and are left out of the new manifest.
    std::vector<ManifestFile> Unchanged;
};

// Compares the files of now, one at a time as the writer meets them, with
// the chain's full manifest. Linear in both.
class DifferentialPlanner {
public:
    // `full` must outlive the planner.
    explicit DifferentialPlanner(const Manifest& full);
    // True when the file is new or changed and goes into the archive.
    bool Add(const FileState& now);
    const DifferentialPlan& Plan() const { return plan_; }

private:
    struct Recorded {
        const ManifestFile* File;
        bool Kept = false; // already answered unchanged
    };
    std::unordered_map<std::string_view, Recorded> recorded_;
    DifferentialPlan plan_;
};

// What the folder's archives say of the chain the next backup would extend.
struct ChainFacts {
    bool HasFull = false;             // a full archive of the project, with its manifest
    std::int64_t FullMadeSeconds = 0; // its manifest's time
    std::uint64_t FullBytes = 0;      // its size on disk
    // The chain's newest differential archive, 0 when there is none.
    std::uint64_t LastDifferentialBytes = 0;
};

// An archive of the project's folder that carries a manifest.
struct ArchiveOnDisk {
    std::string FileName; // without folder
    std::uint64_t Bytes = 0;
    Manifest Recorded;
};

// The chain the next backup extends: the newest full archive (by its
// manifest's time) and its newest differential. A full archive whose
// manifest names another archive was renamed or copied; differentials
// built on it would name a holder that is not there, so it starts no
// chain. Returns the index of the chain's full archive in archives, or -1.
std::ptrdiff_t FindChain(const std::vector<ArchiveOnDisk>& archives, ChainFacts& chain);

enum class FullReason {
    None,        // a differential will do
    NoFull,      // the project has no full backup to build on
    Age,         // "Full Every" days have passed since the full backup
    Differential // the last differential holds more than half the full's bytes
};

// Whether the backup at nowSeconds must be a full one. A clock set back
// before the full backup does not make a full one due.
FullReason FullBackupDue(const ChainFacts& chain, std::int64_t nowSeconds, int fullEveryDays);

} // namespace mzb
