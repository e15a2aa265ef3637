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
        auto first = InstanceLock::TryAcquire(path);
        ASSERT_TRUE(first.has_value());
        EXPECT_FALSE(InstanceLock::TryAcquire(path).has_value());
        // Moving the lock keeps it held.
        InstanceLock moved = std::move(*first);
        first.reset();
        EXPECT_FALSE(InstanceLock::TryAcquire(path).has_value());
    }
    EXPECT_TRUE(InstanceLock::TryAcquire(path).has_value());
    EXPECT_FALSE(InstanceLock::TryAcquire(tmp.dir() + "missing/dir/copy.lock").has_value());
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
