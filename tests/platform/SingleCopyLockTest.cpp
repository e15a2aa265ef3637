#include "platform/InstanceLock.h"
#include "platform/SingleCopyName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(SingleCopyLockTest, OneHolderAtATimeAndFreeAgainOnceReleased) {
    test::TempDir tmp;
    const std::string path = tmp.dir() + "copy.lock";
    {
        const InstanceLock first(path);
        ASSERT_EQ(first.Result(), InstanceLock::State::Held);
        EXPECT_EQ(InstanceLock(path).Result(), InstanceLock::State::HeldElsewhere);
    }
    EXPECT_EQ(InstanceLock(path).Result(), InstanceLock::State::Held);
    // No lock file at all is not another copy running.
    EXPECT_EQ(InstanceLock(tmp.dir() + "missing/dir/copy.lock").Result(),
              InstanceLock::State::Unavailable);
}

TEST(SingleCopyLockTest, SocketNameDependsOnTheProgramDirectoryOnly) {
    const std::string a = SingleCopySocketPath("/opt/a/bin/");
    EXPECT_EQ(a, SingleCopySocketPath("/opt/a/bin/"));
    EXPECT_NE(a, SingleCopySocketPath("/opt/b/bin/"));
    EXPECT_LT(a.size(), 100u); // a local socket's path has room for about 108 bytes
    const std::string longDir = "/" + std::string(300, 'x') + "/";
    EXPECT_LT(SingleCopySocketPath(longDir).size(), 100u);
}

} // namespace
} // namespace mzb
