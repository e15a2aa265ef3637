#include "core/schedule/MissedBackup.h"

#include "core/schedule/Schedule.h"
#include "core/schedule/ScheduleText.h"

namespace mzb {

namespace {

constexpr std::chrono::hours kDay{24};

} // namespace

std::optional<LocalDateTime> LastScheduledTime(const StoredSchedule& stored,
                                               std::optional<LocalDateTime> lastBackup,
                                               LocalDateTime now) {
    // Naive wall-clock arithmetic: a day back keeps the clock time across a
    // daylight-saving change, as the table's own arithmetic does.
    switch (stored.BackupMode) {
    case static_cast<int>(ScheduleKind::DailyAt): {
        const LocalDateTime today =
            now.DatePart() +
            std::chrono::milliseconds(DailyTimeOrNoon(stored.StartTime_or_Increase).MsOfDay());
        return today <= now ? today : today + -kDay;
    }
    case static_cast<int>(ScheduleKind::EveryMinutes): {
        if (!lastBackup) {
            return std::nullopt;
        }
        const LocalDateTime due = *lastBackup + EveryMinutesInterval(stored.StartTime_or_Increase);
        return due <= now ? std::optional(due) : std::nullopt;
    }
    case static_cast<int>(ScheduleKind::WeeklyOn): {
        const int weekday = WeekdayExactly(stored.StartTime_or_Increase);
        if (weekday == kNoWeekday) {
            return std::nullopt;
        }
        const int back = (now.DayOfWeek() - weekday + 7) % 7;
        const LocalDateTime noon = (now + -kDay * back).DatePart() + std::chrono::hours(12);
        return noon <= now ? noon : noon + -kDay * 7;
    }
    default:
        return std::nullopt;
    }
}

bool IsBackupMissed(const StoredSchedule& stored, std::optional<LocalDateTime> lastBackup,
                    LocalDateTime now) {
    if (!stored.IsEnabledAutoBack || !lastBackup) {
        return false;
    }
    const std::optional<LocalDateTime> slot = LastScheduledTime(stored, lastBackup, now);
    return slot && *slot > *lastBackup;
}

} // namespace mzb
