#include "platform/LocalDateTime.h"

#include <gtest/gtest.h>

namespace mzb {

TEST(LocalDateTime, CivilPartsDosPackingAndWeekday) {
    const LocalDateTime t = LocalDateTime::Make(2024, 2, 29, 23, 59, 58);
    const CivilDateTime c = t.Civil();
    EXPECT_EQ(c.Year, 2024);
    EXPECT_EQ(c.Month, 2);
    EXPECT_EQ(c.Day, 29);
    EXPECT_EQ(c.Hour, 23);
    EXPECT_EQ(c.Minute, 59);
    EXPECT_EQ(c.Second, 58);
    EXPECT_EQ(t.DayOfWeek(), 4); // a Thursday
    EXPECT_EQ(LocalDateTime::FromDos(t.ToDos()), t);
    EXPECT_EQ(LocalDateTime::Make(1899, 12, 30).Ms(), 0);
    EXPECT_EQ(LocalDateTime::TimeOfDay(12, 0, 0).Days(), 0);
    // Odd seconds fall to the even second below; out-of-range years clamp.
    EXPECT_EQ(LocalDateTime::FromDos(LocalDateTime::Make(2024, 1, 1, 0, 0, 7).ToDos()),
              LocalDateTime::Make(2024, 1, 1, 0, 0, 6));
    EXPECT_EQ(LocalDateTime::FromDos(LocalDateTime::Make(1970, 6, 1).ToDos()),
              LocalDateTime::Make(1980, 1, 1));
    EXPECT_EQ(LocalDateTime::FromDos(0), LocalDateTime::Make(1980, 1, 1)); // month 0 is no date
    // Dates before the day count's origin still split into day and time.
    const LocalDateTime early = LocalDateTime::Make(1899, 12, 29, 18, 0, 0);
    EXPECT_EQ(early.Days(), -1);
    EXPECT_EQ(early.MsOfDay(), 18 * 3'600'000);
}

} // namespace mzb
