#include "zip/base/DosDateTime.h"

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

TEST(DosDateTime, MomentsOutsideTheFieldsAreClampedToItsEnds) {
    EXPECT_EQ(TimeToDosDateTime(0), PackDosDateTime({1980, 1, 1, 0, 0, 0}));
    const std::time_t far = std::time_t(5000000000); // year 2128
    EXPECT_EQ(TimeToDosDateTime(far), PackDosDateTime({2107, 12, 31, 23, 59, 58}));
}

} // namespace
} // namespace mzb
