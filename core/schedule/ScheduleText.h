#pragma once
// The stored texts of a schedule (StartTime_or_Increase) and the values they
// stand for: the time of day, the minutes and the weekday. The schedule
// table reads them to compute run times; the preferences window shows and
// writes them. The two read weekdays differently: the table matches a name
// exactly, the window without regard to letter case.

#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <array>
#include <string>
#include <string_view>

namespace mzb {

// The range of an every-N-minutes schedule that the window offers.
inline constexpr int kMinEveryMinutes = 5;
inline constexpr int kMaxEveryMinutes = 1000;
inline constexpr int kNoWeekday = -1;

// The English weekday names, Sunday (0) to Saturday (6), as stored.
inline constexpr std::array<const char*, 7> kWeekdayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// A daily time of day, or 12:00:00 when the text is none. Day 0.
LocalDateTime DailyTimeOrNoon(std::string_view stored);
// The text a daily time is stored as: HH:MM:SS.
std::string DailyTimeText(LocalDateTime timeOfDay);
// The minutes as the window shows them: a whole number pulled into 5 to
// 1000, or 5 when the text is no whole number.
int EveryMinutesShown(std::string_view stored);
// The weekday whose name the text is exactly, or kNoWeekday.
int WeekdayExactly(std::string_view stored);
// The weekday whose name the text is without regard to case, or kNoWeekday.
int WeekdayIgnoringCase(std::string_view stored);

// A stored schedule as the Schedule tab shows it: every control has a value,
// the ones of the modes not chosen at their start values.
struct ShownSchedule {
    bool Enabled = false;
    int Mode = 0; // a BackupMode; one this program never writes is kept as it is
    LocalDateTime Time = LocalDateTime::TimeOfDay(12, 0, 0);
    int Minutes = kMinEveryMinutes;
    int Weekday = kNoWeekday;
    int WarnAfterDays = 0;

    bool operator==(const ShownSchedule&) const = default;
};

ShownSchedule ShowSchedule(const StoredSchedule& stored);
// What the tab's save writes: the text of the chosen mode's control; an
// unknown mode is stored as 0 with the time, a missing weekday as Sunday.
StoredSchedule StoreSchedule(const ShownSchedule& shown);

} // namespace mzb
