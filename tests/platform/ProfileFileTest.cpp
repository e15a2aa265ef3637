#include "platform/ProfileFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

mode_t PermissionsOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 0777;
}

TEST(ProfileFileTest, MissingOrUnreadableFileReadsAsEmpty) {
    TempDir tmp;
    EXPECT_FALSE(ProfileFile(tmp.dir() + "absent.ini").Read().HasSection("Common"));
    // A directory where the file should be reads as no file at all.
    EXPECT_EQ(ProfileFile(tmp.dir()).Read().ReadInteger("Common", "Width", 2), 2);
}

TEST(ProfileFileTest, FirstWriteCreatesAnOwnerOnlyFile) {
    TempDir tmp;
    const std::string path = tmp.dir() + "project.ini";
    ProfileFile(path).Update([](ProfileText& t) { t.WriteInteger("Common", "Width", 3); });
    EXPECT_EQ(ReadFile(path), "[Common]\nWidth=3\n");
    EXPECT_EQ(PermissionsOf(path), 0600u);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST(ProfileFileTest, RewriteKeepsOtherBytesAndTheFilesPermissions) {
    TempDir tmp;
    const auto path = tmp.write("project.ini", "[Common]\r\n;keep me\r\nWidth=3\r\n");
    fs::permissions(path, fs::perms(0640));
    ProfileFile(path.string()).Update([](ProfileText& t) { t.WriteInteger("Common", "Width", 4); });
    EXPECT_EQ(ReadFile(path), "[Common]\r\n;keep me\r\nWidth=4\r\n");
    EXPECT_EQ(PermissionsOf(path), 0640u);
}

TEST(ProfileFileTest, NothingIsWrittenWhenTheEditChangesNothing) {
    TempDir tmp;
    const std::string path = tmp.dir() + "project.ini";
    ProfileFile(path).Update([](ProfileText& t) { t.EraseSection("Docs"); });
    EXPECT_FALSE(fs::exists(path));
}

TEST(ProfileFileTest, FailedWriteRaisesTheMessageAndLeavesTheOldFileIntact) {
    TempDir tmp;
    const std::string original = "[Common]\nWidth=3\n";
    const auto path = tmp.write("project.ini", original);
    // Tests run as root, so permissions cannot block the write; a directory
    // standing where the temporary file goes does.
    fs::create_directory(path.string() + ".tmp");
    tmp.write("project.ini.tmp/occupant", "x");
    const ProfileFile file(path.string());
    try {
        file.Update([](ProfileText& t) { t.WriteInteger("Common", "Width", 9); });
        FAIL() << "the write should have failed";
    } catch (const EProfileWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
    }
    EXPECT_EQ(ReadFile(path), original);
}

TEST(ProfileFileTest, WriteIntoAMissingDirectoryFails) {
    TempDir tmp;
    const std::string path = tmp.dir() + "no/such/dir/project.ini";
    EXPECT_THROW(
        ProfileFile(path).Update([](ProfileText& t) { t.WriteString("Common", "Sort", "1"); }),
        EProfileWriteError);
}

TEST(ProfileFileTest, AFileThatExistsButCannotBeReadIsNeverRewrittenFromNothing) {
    TempDir tmp;
    fs::create_directory(tmp.path() / "project.ini");
    EXPECT_THROW(ProfileFile(tmp.dir() + "project.ini").Update([](ProfileText& t) {
        t.WriteString("Common", "Sort", "1");
    }),
                 EProfileWriteError);
    EXPECT_TRUE(fs::is_directory(tmp.path() / "project.ini"));
}

TEST(ProfileFileTest, LeftoverTemporaryFileFromACrashDoesNotBlockWrites) {
    TempDir tmp;
    const auto path = tmp.write("project.ini", "[Common]\nWidth=3\n");
    tmp.write("project.ini.tmp", "half-written");
    ProfileFile(path.string()).Update([](ProfileText& t) { t.WriteInteger("Common", "Width", 5); });
    EXPECT_EQ(ReadFile(path), "[Common]\nWidth=5\n");
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

TEST(ProfileFileTest, ALinkedFileIsWrittenThroughAndTheLinkKept) {
    TempDir tmp;
    const auto real = tmp.write("elsewhere/real.ini", "[Common]\nWidth=3\n");
    const auto link = tmp.path() / "project.ini";
    fs::create_symlink(real, link);
    ProfileFile(link.string()).Update([](ProfileText& t) { t.WriteInteger("Common", "Width", 6); });
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "[Common]\nWidth=6\n");
}

} // namespace
} // namespace mzb
