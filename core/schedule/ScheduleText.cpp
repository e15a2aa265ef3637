#include "core/schedule/ScheduleText.h"

#include "core/base/DateText.h"
#include "core/schedule/Schedule.h"

#include <algorithm>
#include <charconv>

namespace mzb {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

template <typename Same> int FindWeekday(std::string_view stored, Same same) {
    for (std::size_t day = 0; day < kWeekdayNames.size(); ++day) {
        if (same(stored, kWeekdayNames[day])) {
            return static_cast<int>(day);
        }
    }
    return kNoWeekday;
}

} // namespace

LocalDateTime DailyTimeOrNoon(std::string_view stored) {
    return ParseTimeOfDay(stored).value_or(LocalDateTime::TimeOfDay(12, 0, 0));
}

std::string DailyTimeText(LocalDateTime timeOfDay) {
    return FormatLongTime(timeOfDay);
}

int EveryMinutesShown(std::string_view stored) {
    long long n = 0;
    const char* first = stored.data();
    const char* end = first + stored.size();
    if (first != end && *first == '+') {
        ++first;
    }
    const auto [last, error] = std::from_chars(first, end, n);
    if (last != end || error == std::errc::invalid_argument || first == end) {
        return kMinEveryMinutes;
    }
    // A number too large for the type is still a whole number: the top bound.
    if (error == std::errc::result_out_of_range) {
        return *first == '-' ? kMinEveryMinutes : kMaxEveryMinutes;
    }
    return static_cast<int>(std::clamp<long long>(n, kMinEveryMinutes, kMaxEveryMinutes));
}

int WeekdayExactly(std::string_view stored) {
    return FindWeekday(stored, [](std::string_view a, std::string_view b) { return a == b; });
}

int WeekdayIgnoringCase(std::string_view stored) {
    return FindWeekday(stored, SameLetters);
}

ShownSchedule ShowSchedule(const StoredSchedule& stored) {
    ShownSchedule shown;
    shown.Enabled = stored.IsEnabledAutoBack;
    shown.Mode = stored.BackupMode;
    shown.WarnAfterDays = stored.WarnAfterDays;
    switch (stored.BackupMode) {
    case static_cast<int>(ScheduleKind::DailyAt):
        shown.Time = DailyTimeOrNoon(stored.StartTime_or_Increase);
        break;
    case static_cast<int>(ScheduleKind::EveryMinutes):
        shown.Minutes = EveryMinutesShown(stored.StartTime_or_Increase);
        break;
    case static_cast<int>(ScheduleKind::WeeklyOn):
        shown.Weekday = WeekdayIgnoringCase(stored.StartTime_or_Increase);
        break;
    default:
        break;
    }
    return shown;
}

StoredSchedule StoreSchedule(const ShownSchedule& shown) {
    StoredSchedule stored;
    stored.IsEnabledAutoBack = shown.Enabled;
    stored.WarnAfterDays = shown.WarnAfterDays;
    switch (shown.Mode) {
    case static_cast<int>(ScheduleKind::EveryMinutes):
        stored.BackupMode = shown.Mode;
        stored.StartTime_or_Increase = std::to_string(shown.Minutes);
        break;
    case static_cast<int>(ScheduleKind::WeeklyOn):
        stored.BackupMode = shown.Mode;
        stored.StartTime_or_Increase =
            kWeekdayNames[shown.Weekday == kNoWeekday ? 0 : shown.Weekday];
        break;
    default:
        stored.BackupMode = static_cast<int>(ScheduleKind::DailyAt);
        stored.StartTime_or_Increase = DailyTimeText(shown.Time);
        break;
    }
    return stored;
}

} // namespace mzb
