#pragma once
// Which of a project's archives its retention rule lets go: keep them all,
// keep the newest N, or keep the newest archive of each of the last days,
// weeks and months. The rule only chooses; the archives it is given are
// the project's own (ProjectArchives.h), and the clock is passed in.

#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mzb {

// "Keep Archives".
enum class KeepArchives { All = 0, Last = 1, ByAge = 2 };

struct RetentionRule {
    KeepArchives Mode = KeepArchives::All;
    int Last = 10;    // "Keep Last", at least 1
    int Daily = 7;    // "Keep Daily"
    int Weekly = 4;   // "Keep Weekly"
    int Monthly = 12; // "Keep Monthly"
};

RetentionRule RetentionRuleOf(const ProjectRecord& project);

// The rule as a sentence beside its controls: "Keeps the newest archive of
// each of the last 7 days, 4 weeks and 12 months".
std::string RetentionRuleText(const RetentionRule& rule);

struct DatedArchive {
    std::string Path;
    LocalDateTime Date;
    std::uint64_t Size = 0;
    // A differential's full archive, by file name: what its point in time
    // needs besides itself. Empty for an archive that stands alone.
    std::string FullArchive = {};

    bool operator==(const DatedArchive&) const = default;
};

// The archives the rule deletes at `now`, newest first. Never the newest
// archive at or before `now`, nor one dated after it (a clock set back, a
// year guessed wrong): what cannot be placed is kept. By age, days are calendar days of
// the local clock, weeks run from Monday, months are calendar months, each
// counted back from the one `now` falls in; an archive stays when it is the
// newest of its day, week or month within those counts. A full archive
// that a kept differential needs stays too, so a full one goes only
// together with every differential built on it.
std::vector<DatedArchive> ArchivesToDelete(const RetentionRule& rule,
                                           std::vector<DatedArchive> archives, LocalDateTime now);

} // namespace mzb
