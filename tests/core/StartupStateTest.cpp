#include "core/project/StartupState.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(StartupStateTest, LastProjectIsChosenWithoutRegardToCaseElseTheFirst) {
    const std::vector<std::string> names = {"alpha", "Beta", "gamma"};
    EXPECT_EQ(StartupProjectIndex(names, "BETA"), 1);
    EXPECT_EQ(StartupProjectIndex(names, "gamma"), 2);
    EXPECT_EQ(StartupProjectIndex(names, "deleted"), 0);
    EXPECT_EQ(StartupProjectIndex(names, ""), 0);
    EXPECT_EQ(StartupProjectIndex({}, "alpha"), -1);
}

TEST(StartupStateTest, IsMinimizedCountsOnlyWithAutoRun) {
    struct Case {
        bool autoRun;
        bool isMinimized;
        bool startsMinimized;
    };
    const Case cases[] = {
        {false, false, false},
        {false, true, false},
        {true, false, false},
        {true, true, true},
    };
    for (const Case& c : cases) {
        CommonSettings s;
        s.AutoRun = c.autoRun;
        s.IsMinimized = c.isMinimized;
        EXPECT_EQ(StartsMinimized(s), c.startsMinimized) << c.autoRun << c.isMinimized;
    }
}

} // namespace
} // namespace mzb
