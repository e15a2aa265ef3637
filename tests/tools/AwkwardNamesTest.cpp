// Every file a user has comes back: a home-like tree of awkward but legal
// Linux names, packed by mzb create or mzb backup and restored by our own
// reader byte for byte, with its mode and time, while other tools still
// open the archive.
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

constexpr int kChainLevels = 60;
constexpr std::time_t kWhen = 1715000000; // an even second: MS-DOS times have two-second steps

struct FileState {
    std::string data;
    unsigned mode = 0;
    std::time_t mtime = 0;
    bool operator==(const FileState&) const = default;
};

struct Snapshot {
    std::map<std::string, FileState> files;
    std::map<std::string, bool> dirs; // path -> empty
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const fs::path& root) {
    Snapshot s;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            s.dirs[rel] = fs::is_empty(e.path());
        } else {
            s.files[rel] = {ReadFile(e.path()), st.st_mode & 07777u, st.st_mtime};
        }
    }
    return s;
}

class AwkwardNamesTest : public ::testing::Test {
protected:
    AwkwardNamesTest() : cwd_(fs::current_path()) {}
    ~AwkwardNamesTest() override { fs::current_path(cwd_); }

    void SetUp() override {
        const std::string chain = [] {
            std::string c;
            for (int i = 1; i <= kChainLevels; ++i) {
                c += "node_modules" + std::to_string(i) + "/";
            }
            return c;
        }();
        std::string longPath;
        for (char c = 'a'; longPath.size() < 3600; ++c) {
            longPath += std::string(199, c) + "/";
        }
        const std::map<std::string, unsigned> files = {
            {"caf\xe9.txt", 0644}, // Latin-1 from an old disk
            {"a\\b.txt", 0600},    // a backslash
            {"line\nbreak.txt", 0644},
            {"tab\there.txt", 0644},
            {"esc\x1b[31mred.txt", 0644},
            {" lead and trail ", 0644},
            {"-dash.txt", 0755},
            {"nested/" + std::string(251, 'n') + ".txt", 0644}, // 255 bytes
            {longPath + "far.txt", 0644},
            {chain + "deep.js", 0644},
        };
        for (const auto& [name, mode] : files) {
            const fs::path path = tmp_.write("home/tree/" + name, "contents of " + name);
            fs::permissions(path, fs::perms(mode));
        }
        fs::create_directories(tmp_.path() / "home/tree" / chain / "empty-at-the-bottom");
        for (const auto& e : fs::recursive_directory_iterator(tmp_.path() / "home/tree")) {
            const struct timespec times[2] = {{kWhen, 0}, {kWhen, 0}};
            ::utimensat(AT_FDCWD, e.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        source_ = Take(tmp_.path() / "home/tree");
        ASSERT_EQ(source_.files.size(), files.size());
    }

    CommandResult Mzb(std::vector<std::string> args) const {
        args.insert(args.begin(), MZB_EXE);
        return RunCommand(args);
    }

    const fs::path cwd_;
    TempDir tmp_;
    Snapshot source_;
};

TEST_F(AwkwardNamesTest, CreateAndExtractGiveEveryFileBack) {
    MZB_REQUIRE_PEERS("unzip", "7zz", "bsdtar", "python3");
    const std::string archive = tmp_.dir() + "awkward.zip";
    fs::current_path(tmp_.path() / "home");
    const CommandResult created = Mzb({"create", archive, "-r", "tree"});
    fs::current_path(cwd_);
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.err, "");

    const CommandResult extracted = Mzb({"extract", archive, tmp_.dir() + "out"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_TRUE(Take(tmp_.path() / "out/tree") == source_);
    EXPECT_EQ(test::PeerTestFailures(archive), std::vector<std::string>{});

    // Listed names cannot move the cursor or split a row.
    const CommandResult listed = Mzb({"list", archive});
    ASSERT_EQ(listed.exitCode, 0);
    for (const char* shown :
         {"\ttree/line\\nbreak.txt\n", "\ttree/tab\\there.txt\n", "\ttree/esc\\x1b[31mred.txt\n",
          "\ttree/caf\\xe9.txt\n", "\ttree/a\\b.txt\n", "\ttree/ lead and trail \n"}) {
        EXPECT_NE(listed.out.find(shown), std::string::npos) << shown;
    }
    EXPECT_EQ(listed.out.find('\x1b'), std::string::npos);
}

TEST_F(AwkwardNamesTest, BackupAndRestoreOfAProjectGiveEveryFileBack) {
    MZB_REQUIRE_PEERS("unzip", "7zz", "bsdtar", "python3");
    const std::string ini = tmp_.write("project.ini", "[Common]\nProject Count=1\nCount0=Home\n"
                                                      "[Home]\nFilename prefix=home\n"
                                                      "Whether use Date=0\nValue=0\n"
                                                      "Save Path=" +
                                                          tmp_.dir() +
                                                          "\nBackup Directory Count=1\n"
                                                          "Backup0=" +
                                                          tmp_.dir() +
                                                          "home/*.*\n"
                                                          "Whether include Subdirectory=1\n"
                                                          "Whether store path in Zip=1\n")
                                .string();
    const CommandResult backup = Mzb({"--ini", ini, "backup", "Home"});
    ASSERT_EQ(backup.exitCode, 0) << backup.out << backup.err;
    EXPECT_EQ(backup.out.find("Left Out"), std::string::npos) << backup.out;
    const std::string archive = tmp_.dir() + "home1.zip";
    ASSERT_TRUE(fs::exists(archive)) << backup.out;

    const CommandResult restored = Mzb({"restore", archive, tmp_.dir() + "back"});
    ASSERT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    const fs::path tree = tmp_.path() / "back" / tmp_.path().relative_path() / "home/tree";
    Snapshot back = Take(tree);
    // Directories without entries of their own come back with the files.
    EXPECT_EQ(back.files, source_.files);
    EXPECT_EQ(test::PeerTestFailures(archive), std::vector<std::string>{});
}

} // namespace
} // namespace mzb
