#include "zip/io/PartFile.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

TEST(PartFileTest, PartFilesAreNewPrivateAndNamedByTheirPrefix) {
    TempDir tmp;
    const mode_t mask = ::umask(022);
    std::string first;
    std::string second;
    const int a = CreatePartFile(tmp.dir(), ".k1.zip.part-", first);
    const int b = CreatePartFile(tmp.path().string(), ".k1.zip.part-", second);
    ::umask(mask);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(fs::path(first).parent_path(), tmp.path());
    EXPECT_TRUE(fs::path(first).filename().string().starts_with(".k1.zip.part-"));
    EXPECT_EQ(fs::path(first).filename().string().size(), 13 + kPartSuffixLength);
    struct stat st {};
    ASSERT_EQ(::fstat(a, &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ::close(a);
    ::close(b);
    std::string none;
    EXPECT_LT(CreatePartFile(tmp.dir() + "missing/", ".x-", none), 0);
    EXPECT_TRUE(none.empty());
}

TEST(PartFileTest, OnlyPartFilesThatNobodyHoldsAreRemoved) {
    TempDir tmp;
    std::string held;
    const int fd = CreatePartFile(tmp.dir(), ".k1.zip.part-", held);
    ASSERT_GE(fd, 0);
    std::string dropped;
    ::close(CreatePartFile(tmp.dir(), ".k1.zip.part-", dropped)); // as a killed run leaves it
    tmp.write(".k1.zip.part-abc", "not of the pattern: too short");
    tmp.write(".k1.zip.part-abcdefg", "too long");
    tmp.write(".k2.zip.part-abcdef", "another archive's");
    tmp.write("k1.zip", "the archive");
    fs::create_directory(tmp.path() / ".k1.zip.part-dir123");
    fs::create_symlink(tmp.path() / "k1.zip", tmp.path() / ".k1.zip.part-link12");

    EXPECT_EQ(RemoveStaleParts(tmp.dir(), ".k1.zip.part-"), 1);
    const auto left = Names(tmp.path());
    EXPECT_EQ(left.count(fs::path(dropped).filename().string()), 0u);
    EXPECT_EQ(left.count(fs::path(held).filename().string()), 1u) << "a running writer's file";
    EXPECT_EQ(left.size(), 7u);
    ::close(fd);
    EXPECT_EQ(RemoveStaleParts(tmp.dir(), ".k1.zip.part-"), 1) << "its writer has gone now";
    EXPECT_EQ(RemoveStaleParts(tmp.dir() + "missing", ".k1.zip.part-"), 0);
}

} // namespace
} // namespace mzb
