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
    for (const bool autoRun : {false, true}) {
        for (const bool minimized : {false, true}) {
            CommonSettings s;
            s.AutoRun = autoRun;
            s.IsMinimized = minimized;
            EXPECT_EQ(StartsMinimized(s), autoRun && minimized) << autoRun << minimized;
        }
    }
}

} // namespace
} // namespace mzb
