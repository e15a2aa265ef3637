#include "core/schedule/ScheduleText.h"

#include "core/base/DateText.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(ScheduleText, StoredValuesShownWithTheirFallbacks) {
    struct Case {
        int mode;
        const char* stored;
        const char* time;
        int minutes;
        int weekday;
    } const cases[] = {
        {0, "08:05:00", "08:05:00", 5, kNoWeekday},
        {0, "8:05", "08:05:00", 5, kNoWeekday},
        {0, "", "12:00:00", 5, kNoWeekday},
        {0, "24:00:00", "12:00:00", 5, kNoWeekday},
        {1, "17", "12:00:00", 17, kNoWeekday},
        {1, "3", "12:00:00", 5, kNoWeekday},
        {1, "-40", "12:00:00", 5, kNoWeekday},
        {1, "5000", "12:00:00", 1000, kNoWeekday},
        {1, "99999999999999999999", "12:00:00", 1000, kNoWeekday},
        {1, "ten", "12:00:00", 5, kNoWeekday},
        {1, "", "12:00:00", 5, kNoWeekday},
        {2, "Friday", "12:00:00", 5, 5},
        {2, "friDAY", "12:00:00", 5, 5},
        {2, "Fri", "12:00:00", 5, kNoWeekday},
        {9, "Friday", "12:00:00", 5, kNoWeekday},
    };
    for (const auto& c : cases) {
        const ShownSchedule shown = ShowSchedule({true, c.mode, c.stored});
        EXPECT_TRUE(shown.Enabled);
        EXPECT_EQ(shown.Mode, c.mode);
        EXPECT_EQ(FormatLongTime(shown.Time), c.time) << c.mode << " " << c.stored;
        EXPECT_EQ(shown.Minutes, c.minutes) << c.mode << " " << c.stored;
        EXPECT_EQ(shown.Weekday, c.weekday) << c.mode << " " << c.stored;
    }
    // The table, unlike the window, takes only the exact name.
    EXPECT_EQ(WeekdayExactly("friday"), kNoWeekday);
    EXPECT_EQ(WeekdayExactly("Saturday"), 6);
}

TEST(ScheduleText, SavedTextIsTheChosenModesControlAndReadsBack) {
    ShownSchedule shown;
    shown.Enabled = true;
    shown.Time = LocalDateTime::TimeOfDay(7, 3, 9);
    shown.Minutes = 45;
    shown.Weekday = 3;
    const struct {
        int mode;
        StoredSchedule stored;
    } cases[] = {
        {0, {true, 0, "07:03:09"}},
        {1, {true, 1, "45"}},
        {2, {true, 2, "Wednesday"}},
        {7, {true, 0, "07:03:09"}},
    };
    for (const auto& c : cases) {
        shown.Mode = c.mode;
        const StoredSchedule stored = StoreSchedule(shown);
        EXPECT_EQ(stored, c.stored) << c.mode;
        if (c.mode <= 2) {
            EXPECT_EQ(StoreSchedule(ShowSchedule(stored)), stored) << c.mode;
        }
    }
    shown.Mode = 2;
    shown.Weekday = kNoWeekday;
    EXPECT_EQ(StoreSchedule(shown).StartTime_or_Increase, "Sunday");
}

} // namespace
} // namespace mzb
