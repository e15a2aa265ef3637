#include "zip/base/DosDateTime.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(DosDateTime, PacksTheFieldsAsTheFormatSays) {
    // 2024-02-29 13:45:30: time 13*2048 + 45*32 + 15, date 44*512 + 2*32 + 29.
    EXPECT_EQ(PackDosDateTime({2024, 2, 29, 13, 45, 30}), (0x585Du << 16) | 0x6DAFu);
    const TDosDateTimeParts p = UnpackDosDateTime(0x585D6DAFu);
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 13);
    EXPECT_EQ(p.minute, 45);
    EXPECT_EQ(p.second, 30);
}

TEST(DosDateTime, NormalisationClampsEachFieldOnItsOwn) {
    // 24:61:62 on day 0 of month 13, year field 127.
    const std::uint32_t wild = (127u << 9 | 13u << 5 | 0u) << 16 | (24u << 11 | 61u << 5 | 31u);
    EXPECT_EQ(NormalizeDosDateTime(wild), PackDosDateTime({2099, 12, 1, 23, 59, 58}));

    const std::uint32_t month0 = PackDosDateTime({2001, 1, 5, 10, 0, 0}) & ~(0xFu << 21);
    EXPECT_EQ(NormalizeDosDateTime(month0), PackDosDateTime({2001, 1, 5, 10, 0, 0}));

    for (const std::uint32_t fine :
         {PackDosDateTime({1980, 1, 1, 0, 0, 0}), PackDosDateTime({2099, 12, 31, 23, 59, 58}),
          PackDosDateTime({2023, 2, 31, 12, 0, 0})}) {
        EXPECT_EQ(NormalizeDosDateTime(fine), fine);
    }
}

TEST(DosDateTime, ValidityIncludesTheLengthOfTheMonth) {
    EXPECT_TRUE(IsValidDosDateTime(PackDosDateTime({2024, 2, 29, 0, 0, 0})));
    EXPECT_FALSE(IsValidDosDateTime(PackDosDateTime({2023, 2, 29, 0, 0, 0})));
    EXPECT_TRUE(IsValidDosDateTime(PackDosDateTime({2000, 2, 29, 0, 0, 0})));
    EXPECT_FALSE(IsValidDosDateTime(PackDosDateTime({2100, 2, 29, 0, 0, 0})));
    EXPECT_FALSE(IsValidDosDateTime(PackDosDateTime({2023, 4, 31, 0, 0, 0})));
    EXPECT_FALSE(IsValidDosDateTime(0)); // day and month 0
    EXPECT_FALSE(DosDateTimeToTime(0).has_value());
}

TEST(DosDateTime, LocalTimeRoundTrip) {
    for (const TDosDateTimeParts p :
         {TDosDateTimeParts{1980, 1, 1, 0, 0, 0}, TDosDateTimeParts{2024, 7, 15, 12, 30, 44},
          TDosDateTimeParts{2107, 12, 31, 23, 59, 58}}) {
        const std::uint32_t v = PackDosDateTime(p);
        const auto t = DosDateTimeToTime(v);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(TimeToDosDateTime(*t), v);
        // Odd seconds round down to the even value the field can hold.
        EXPECT_EQ(TimeToDosDateTime(*t + 1), v);
    }
}

// Local times where the clock changes: the skipped hour does not exist and
// the repeated one names two moments; everything around them is exact.
TEST(DosDateTime, LocalTimesAcrossBothChangesOfTheClock) {
    const test::ScopedEnvironment zone("TZ", test::kZoneWithDaylightSaving);
    const std::time_t springChange = 1711846800; // 2024-03-31 01:00:00 UTC
    const std::time_t autumnChange = 1729990800; // 2024-10-27 01:00:00 UTC
    EXPECT_EQ(TimeToDosDateTime(springChange - 2), PackDosDateTime({2024, 3, 31, 1, 59, 58}));
    EXPECT_EQ(TimeToDosDateTime(springChange), PackDosDateTime({2024, 3, 31, 3, 0, 0}));
    EXPECT_EQ(TimeToDosDateTime(autumnChange - 1800), PackDosDateTime({2024, 10, 27, 2, 30, 0}));
    EXPECT_EQ(TimeToDosDateTime(autumnChange + 1800), PackDosDateTime({2024, 10, 27, 2, 30, 0}));
    EXPECT_EQ(TimeToDosDateTime(autumnChange + 3600), PackDosDateTime({2024, 10, 27, 3, 0, 0}));
    for (const std::time_t t : {springChange - 2, springChange, springChange + 3600,
                                autumnChange - 3602, autumnChange + 3600}) {
        EXPECT_EQ(DosDateTimeToTime(TimeToDosDateTime(t)), t) << t;
    }
    // Another tool's 02:30 on the day it does not exist still names a moment
    // within the change; the doubled 02:30 names one of its two moments.
    const auto skipped = DosDateTimeToTime(PackDosDateTime({2024, 3, 31, 2, 30, 0}));
    ASSERT_TRUE(skipped.has_value());
    EXPECT_TRUE(*skipped == springChange - 1800 || *skipped == springChange + 1800) << *skipped;
    const auto doubled = DosDateTimeToTime(PackDosDateTime({2024, 10, 27, 2, 30, 0}));
    ASSERT_TRUE(doubled.has_value());
    EXPECT_TRUE(*doubled == autumnChange - 1800 || *doubled == autumnChange + 1800) << *doubled;
}

TEST(DosDateTime, MomentsOutsideTheFieldsAreClampedToItsEnds) {
    EXPECT_EQ(TimeToDosDateTime(0), PackDosDateTime({1980, 1, 1, 0, 0, 0}));
    const std::time_t far = std::time_t(5000000000); // year 2128
    EXPECT_EQ(TimeToDosDateTime(far), PackDosDateTime({2107, 12, 31, 23, 59, 58}));
}

} // namespace
} // namespace mzb
