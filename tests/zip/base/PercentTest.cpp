#include "zip/base/Percent.h"

#include <gtest/gtest.h>

namespace mzb {

TEST(PercentOf, RoundsHalvesToEvenAndCaps) {
    EXPECT_EQ(PercentOf(0, 0), 0);
    EXPECT_EQ(PercentOf(5, 0), 0);
    EXPECT_EQ(PercentOf(1, 3), 33);
    EXPECT_EQ(PercentOf(2, 3), 67);
    EXPECT_EQ(PercentOf(1, 200), 0);     // 0.5 -> 0 (even)
    EXPECT_EQ(PercentOf(3, 200), 2);     // 1.5 -> 2 (even)
    EXPECT_EQ(PercentOf(5, 200), 2);     // 2.5 -> 2 (even)
    EXPECT_EQ(PercentOf(7, 200), 4);     // 3.5 -> 4
    EXPECT_EQ(PercentOf(199, 200), 100); // 99.5 -> 100 (even)
    EXPECT_EQ(PercentOf(300, 200), 100);
    EXPECT_EQ(PercentOf(UINT64_MAX / 2, UINT64_MAX), 50);
}

} // namespace mzb
