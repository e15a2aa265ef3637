#include "platform/ProfileFile.h"

#include "platform/OwnFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::ReadFile;
using test::RunInChild;
using test::TempDir;

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_ino;
}

std::set<std::string> NamesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

void SetWidth(const std::string& path, int width) {
    ProfileFile(path).Update([&](ProfileText& t) { t.WriteInteger("Common", "Width", width); });
}

// The update's error text, or "ok".
std::string UpdateOutcome(const std::string& path, const std::string& value) {
    try {
        ProfileFile(path).Update([&](ProfileText& t) { t.WriteString("Common", "Note", value); });
        return "ok";
    } catch (const EProfileWriteError& e) {
        return e.what();
    }
}

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
    EXPECT_EQ(NamesIn(tmp.path()), (std::set<std::string>{"project.ini", "project.ini.lock"}));
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

TEST(ProfileFileTest, FullDiskWhileWritingLeavesTheOldFileAndNoTemporaryFile) {
    TempDir tmp;
    const std::string original = "[Common]\nWidth=3\n";
    const std::string path = tmp.write("project.ini", original).string();
    // A file-size limit makes every write past it fail as a full disk would.
    const std::string outcome = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return UpdateOutcome(path, std::string(1000, 'x'));
    });
    EXPECT_EQ(outcome, "Unable to write to " + path);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(NamesIn(tmp.path()), (std::set<std::string>{"project.ini", "project.ini.lock"}));
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

// A lock another process keeps is waited for a while, never for ever, and
// one whose holder was killed holds nobody up.
TEST(ProfileFileTest, ALockHeldElsewhereIsWaitedForWithinABoundAndAKilledHolderLetsGo) {
    TempDir tmp;
    const std::string path = tmp.dir() + "project.ini";
    SetWidth(path, 3);
    {
        ChildProcess holder([&] {
            ProfileFile(path).Update([](ProfileText&) {
                test::TellParentReady();
                ::pause();
            });
            return std::string("returned");
        });
        ASSERT_TRUE(holder.WaitReady());
        try {
            ProfileFile(path, std::chrono::milliseconds(200)).Read();
            ADD_FAILURE() << "read while another held the lock";
        } catch (const EFileRefused& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot use " + path +
                                                 ".lock: another process has held it locked for "
                                                 "200 ms; try again once that process is done");
        }
        holder.Kill();
        EXPECT_EQ(holder.Result(), "killed by signal 9");
    }
    // One killed after making its temporary file left it behind.
    tmp.write("project.ini.tmp-Ab12Cd", "[Common]\nPassword=#1#2\n");
    SetWidth(path, 4);
    EXPECT_EQ(ReadFile(path), "[Common]\nWidth=4\n");
    EXPECT_EQ(NamesIn(tmp.path()), (std::set<std::string>{"project.ini", "project.ini.lock"}));
}

// A file an administrator prepared in a folder the user may not write: the
// update goes into the file itself, with or without a lock file beside it.
TEST(ProfileFileTest, AWritableFileInAFolderThatIsNotIsUpdatedInPlace) {
    for (const bool lockFilePrepared : {false, true}) {
        TempDir tmp;
        const std::string path = tmp.write("project.ini", "[Common]\nWidth=3\n").string();
        const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid(); // root ignores permissions
        if (lockFilePrepared) {
            tmp.write("project.ini.lock", "");
        }
        ASSERT_EQ(::chown(path.c_str(), user, static_cast<gid_t>(-1)), 0);
        fs::permissions(tmp.path(), fs::perms(0555));
        const ino_t inode = InodeOf(path);
        const std::string outcome = RunInChild([&] {
            if (::geteuid() != user && ::setuid(user) != 0) {
                return std::string("cannot become the user");
            }
            return UpdateOutcome(path, "a longer value than before");
        });
        fs::permissions(tmp.path(), fs::perms(0700));
        EXPECT_EQ(outcome, "ok") << "lock file prepared: " << lockFilePrepared;
        EXPECT_EQ(ReadFile(path), "[Common]\nWidth=3\nNote=a longer value than before\n");
        EXPECT_EQ(InodeOf(path), inode) << "rewritten in place";
    }
}

// Another user who may write the folder plants what the program would
// otherwise follow, wait on or read as its own: a link at project.ini, a
// FIFO at it or at its lock file, a file of theirs. Reads and updates alike
// refuse it at once, naming the file and the reason, and leave it as it is.
TEST(ProfileFileTest, PlantedFilesAreRefusedWithTheFileAndTheReason) {
    const bool isRoot = ::geteuid() == 0; // only root can give a file away
    const struct Case {
        const char* planted;
        const char* kind; // link, fifo or foreign
        const char* reason;
    } cases[] = {
        {"project.ini", "link", "it is a symbolic link, and links are not followed here"},
        {"project.ini", "fifo", "it is a FIFO, not a regular file"},
        {"project.ini.lock", "fifo", "it is a FIFO, not a regular file"},
        {"project.ini.lock", "link", "it is a symbolic link, and links are not followed here"},
        {"project.ini", "foreign", "it belongs to another user (uid 4242)"},
        {"project.ini.lock", "foreign", "it belongs to another user (uid 4242)"},
    };
    for (const Case& c : cases) {
        const std::string kind = c.kind;
        if (kind == "foreign" && !isRoot) {
            continue;
        }
        TempDir tmp;
        const std::string path = tmp.dir() + "project.ini";
        const std::string planted = tmp.dir() + c.planted;
        const auto theirs = tmp.write("theirs.ini", "[Common]\nWidth=3\n");
        if (planted != path) {
            tmp.write("project.ini", "[Common]\nWidth=3\n");
        }
        if (kind == "link") {
            fs::create_symlink(theirs, planted);
        } else if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(planted.c_str(), 0666), 0);
        } else {
            fs::copy_file(theirs, planted, fs::copy_options::overwrite_existing);
            ASSERT_EQ(::chown(planted.c_str(), 4242, 4242), 0);
        }
        const std::string expected = "Cannot use " + planted + ": " + c.reason;
        const auto outcome = [&](const std::function<void()>& use) {
            try {
                use();
                return std::string("used");
            } catch (const EFileRefused& e) {
                return std::string(e.what());
            }
        };
        EXPECT_EQ(outcome([&] { ProfileFile(path).Read(); }), expected);
        EXPECT_EQ(outcome([&] { SetWidth(path, 4); }), expected);
        EXPECT_EQ(ReadFile(theirs), "[Common]\nWidth=3\n") << c.planted << " " << kind;
    }
}

} // namespace
} // namespace mzb
