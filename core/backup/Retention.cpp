#include "core/backup/Retention.h"

#include "zip/io/PathName.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace mzb {
namespace {

// Day 0 of LocalDateTime, 1899-12-30, was a Saturday: day 2 the first Monday.
constexpr int64_t kFirstMonday = 2;

int64_t DayIndex(LocalDateTime t) {
    return t.Days();
}
int64_t WeekIndex(LocalDateTime t) {
    const int64_t d = t.Days() - kFirstMonday;
    return d >= 0 ? d / 7 : (d - 6) / 7;
}
int64_t MonthIndex(LocalDateTime t) {
    const CivilDateTime c = t.Civil();
    return int64_t(c.Year) * 12 + (c.Month - 1);
}

struct Period {
    int64_t (*Index)(LocalDateTime);
    int Count;
    const char* One;
    const char* Many;
};

// The periods of the by-age rule, shortest first.
std::array<Period, 3> PeriodsOf(const RetentionRule& rule) {
    return {{{DayIndex, rule.Daily, "day", "days"},
             {WeekIndex, rule.Weekly, "week", "weeks"},
             {MonthIndex, rule.Monthly, "month", "months"}}};
}

// A differential restores only over its full archive. One whose full is
// gone already stays or goes by the rule alone: what it holds itself can
// still be restored.
void KeepFullsOfKept(const std::vector<DatedArchive>& archives, std::vector<bool>& keep) {
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < archives.size(); ++i) {
        byName.emplace(FileNamePart(archives[i].Path), i);
    }
    for (std::size_t i = 0; i < archives.size(); ++i) {
        if (keep[i] && !archives[i].FullArchive.empty()) {
            if (const auto full = byName.find(archives[i].FullArchive); full != byName.end()) {
                keep[full->second] = true;
            }
        }
    }
}

} // namespace

RetentionRule RetentionRuleOf(const ProjectRecord& p) {
    RetentionRule rule;
    rule.Mode = static_cast<KeepArchives>(p.KeepArchives);
    rule.Last = p.KeepLast;
    rule.Daily = p.KeepDaily;
    rule.Weekly = p.KeepWeekly;
    rule.Monthly = p.KeepMonthly;
    return rule;
}

std::string RetentionRuleText(const RetentionRule& rule) {
    switch (rule.Mode) {
    case KeepArchives::All:
        return "Keeps every archive";
    case KeepArchives::Last:
        return rule.Last <= 1 ? "Keeps only the newest archive"
                              : "Keeps the newest " + std::to_string(rule.Last) + " archives";
    case KeepArchives::ByAge:
        break;
    }
    std::vector<std::string> parts;
    for (const Period& period : PeriodsOf(rule)) {
        if (period.Count > 0) {
            parts.push_back(std::to_string(period.Count) + " " +
                            (period.Count == 1 ? period.One : period.Many));
        }
    }
    if (parts.empty()) {
        return "Keeps only the newest archive";
    }
    std::string text = "Keeps the newest archive of each of the last " + parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += (i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text;
}

std::vector<DatedArchive> ArchivesToDelete(const RetentionRule& rule,
                                           std::vector<DatedArchive> archives, LocalDateTime now) {
    if (rule.Mode == KeepArchives::All || archives.empty()) {
        return {};
    }
    // Newest first; archives of the same second by name, so that the
    // choice never depends on the order the folder listed them in.
    std::sort(archives.begin(), archives.end(), [](const DatedArchive& a, const DatedArchive& b) {
        return a.Date != b.Date ? a.Date > b.Date : a.Path > b.Path;
    });
    // Whatever lies after now is kept, and so is the newest archive before
    // it: a wrong date ahead must not cost the last good backup.
    std::vector<bool> keep(archives.size());
    bool newestKept = false;
    for (std::size_t i = 0; i < archives.size(); ++i) {
        keep[i] = archives[i].Date > now || !newestKept;
        newestKept = newestKept || archives[i].Date <= now;
    }
    if (rule.Mode == KeepArchives::Last) {
        std::fill_n(keep.begin(), std::min<std::size_t>(std::max(rule.Last, 1), keep.size()), true);
    } else {
        for (const Period& period : PeriodsOf(rule)) {
            const int64_t current = period.Index(now);
            std::unordered_set<int64_t> seen;
            for (std::size_t i = 0; i < archives.size(); ++i) {
                const int64_t index = period.Index(archives[i].Date);
                if (index <= current && current - index < period.Count &&
                    seen.insert(index).second) {
                    keep[i] = true;
                }
            }
        }
    }
    KeepFullsOfKept(archives, keep);
    std::vector<DatedArchive> deleted;
    for (std::size_t i = 0; i < archives.size(); ++i) {
        if (!keep[i]) {
            deleted.push_back(std::move(archives[i]));
        }
    }
    return deleted;
}

} // namespace mzb
