#include "platform/InstanceLock.h"
#include "platform/SingleCopyName.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;

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
    test::TempDir tmp;
    fs::create_directory(tmp.path() / "run");
    fs::permissions(tmp.path() / "run", fs::perms::owner_all);
    const test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", tmp.dir() + "run");
    const std::string a = SingleCopySocketPath("/opt/a/bin/");
    EXPECT_EQ(fs::path(a).parent_path(), tmp.path() / "run");
    EXPECT_EQ(a, SingleCopySocketPath("/opt/a/bin/"));
    EXPECT_NE(a, SingleCopySocketPath("/opt/b/bin/"));
    EXPECT_LT(a.size(), 100u); // a local socket's path has room for about 108 bytes
    const std::string longDir = "/" + std::string(300, 'x') + "/";
    EXPECT_LT(SingleCopySocketPath(longDir).size(), 100u);
}

// Another user who creates the lock or the socket first could keep the
// window from starting or let two copies run: the names live only in a
// folder nobody else may enter. A runtime folder others may enter is not
// used, and a cache folder found open to others, or not the user's, gives
// no name at all rather than a name they can take.
TEST(SingleCopyLockTest, TheNamesLiveOnlyInAFolderNoOtherUserMayEnter) {
    test::TempDir tmp;
    const std::string cache = tmp.dir() + "cache";
    fs::create_directory(tmp.path() / "shared");
    fs::permissions(tmp.path() / "shared", fs::perms::all);
    const test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", tmp.dir() + "shared");
    const test::ScopedEnvironment cacheHome("XDG_CACHE_HOME", cache);
    const std::string path = SingleCopySocketPath("/opt/a/bin/");
    const fs::path own = fs::path(cache) / "morvaleen-zip-backup";
    EXPECT_EQ(fs::path(path).parent_path(), own);
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);

    fs::permissions(own, fs::perms(0755));
    EXPECT_EQ(SingleCopySocketPath("/opt/a/bin/"), "");
    if (::geteuid() == 0) {
        fs::permissions(own, fs::perms::owner_all);
        ASSERT_EQ(::chown(own.c_str(), 4242, 4242), 0);
        EXPECT_EQ(SingleCopySocketPath("/opt/a/bin/"), "");
    }
}

} // namespace
} // namespace mzb
