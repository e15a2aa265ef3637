#include "core/project/PasswordScramble.h"
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/TempDir.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
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

struct FileFacts {
    std::string Bytes;
    unsigned Mode = 0;
    std::time_t Modified = 0;
    bool operator==(const FileFacts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const FileFacts& facts) {
    return out << facts.Bytes.size() << " bytes, mode " << std::oct << facts.Mode << std::dec
               << ", mtime " << facts.Modified;
}

// Every regular file below the folder with what a restore must give back.
std::map<std::string, FileFacts> Tree(const fs::path& folder) {
    std::map<std::string, FileFacts> tree;
    if (!fs::exists(folder)) {
        return tree;
    }
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file()) {
            continue;
        }
        struct stat info {};
        ::stat(item.path().c_str(), &info);
        tree[fs::relative(item.path(), folder).string()] = {ReadFile(item.path()),
                                                            info.st_mode & 07777, info.st_mtime};
    }
    return tree;
}

constexpr const char* kPassword = "Key 1";

// A differential project "Docs" named by the date, backing up src/ into
// out/ with a password, the backups run at the times given to --now.
class DifferentialCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldUmask_ = ::umask(022);
        fs::create_directories(tmp_.path() / "out");
        ini_ = tmp_.write("project.ini",
                          "[Common]\nProject Count=1\nCount0=Docs\n\n"
                          "[Docs]\nFilename prefix=docs\nWhether use Date=1\n"
                          "Save Path=" +
                              tmp_.dir() + "out\nBackup Directory Count=1\nBackup0=" + tmp_.dir() +
                              "src/*.*\nWhether include Subdirectory=1\n"
                              "Whether store path in Zip=1\n"
                              "Whether password Project=1\nPassword=" +
                              EncodePassword(kPassword, "Docs") +
                              "\n"
                              "Backup Type=1\nFull Every=7\n")
                   .string();
    }
    void TearDown() override { ::umask(oldUmask_); }

    // Writes a source file with its mode and an even-second modification
    // time, which every ZIP time field holds.
    void Source(const std::string& name, const std::string& bytes, unsigned mode,
                std::time_t modified) {
        const fs::path file = tmp_.write("src/" + name, bytes);
        fs::permissions(file, fs::perms(mode));
        fs::last_write_time(file, std::chrono::file_clock::from_sys(
                                      std::chrono::system_clock::from_time_t(modified)));
        ASSERT_EQ(Tree(tmp_.path() / "src").at(name).Modified, modified);
    }

    CommandResult Mzb(std::vector<std::string> args) {
        args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
        return RunCommand(args);
    }

    std::string Backup(const std::string& day) {
        const CommandResult r = Mzb({"backup", "Docs", "--now", "2026-03-" + day + " 10:00:00"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        last_ = r.out;
        return tmp_.dir() + "out/docs03-" + day + "_10-00-00.zip";
    }

    // What restoring the archive gives back, as the source tree's files.
    std::map<std::string, FileFacts> Restored(const std::string& archive, const std::string& into,
                                              bool onlyThis = false) {
        std::vector<std::string> args = {"restore", archive, tmp_.dir() + into, "-o",
                                         "always",  "-p",    kPassword};
        if (onlyThis) {
            args.push_back("--only-this");
        }
        const CommandResult r = Mzb(args);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return Tree(tmp_.path() / into / tmp_.dir().substr(1) / "src");
    }

    TempDir tmp_;
    std::string ini_;
    std::string last_;
    mode_t oldUmask_ = 0;
};

TEST_F(DifferentialCommandsTest, EachArchiveRestoresItsPointInTimeAndPassesOtherTools) {
    MZB_REQUIRE_PEERS("unzip", "7zz", "bsdtar", "python3");
    const std::time_t t0 = 1'767'000'000;
    // Most of the bytes stay as they were, so every later backup is a differential.
    const auto bulk = test::MakeBinary(200000, 7);
    Source("keep.bin", std::string(bulk.begin(), bulk.end()), 0640, t0);
    Source("edit.txt", "first words", 0644, t0);
    Source("sub/gone.bin", std::string(3000, 'g'), 0600, t0);
    Source("sub/script.sh", "#!/bin/sh\n", 0755, t0);
    const auto atFull = Tree(tmp_.path() / "src");
    const std::string full = Backup("01");
    // Nothing changed since the full backup: the point in time is still recorded.
    const std::string quiet = Backup("02");
    EXPECT_NE(last_.find("no file changed"), std::string::npos) << last_;

    // Equal size and time: only the inode change time tells.
    Source("edit.txt", "other words", 0644, t0);
    Source("sub/new.txt", "added later", 0644, t0 + 100);
    const auto atFirst = Tree(tmp_.path() / "src");
    const std::string first = Backup("03");

    fs::remove(tmp_.path() / "src/sub/gone.bin");
    fs::permissions(tmp_.path() / "src/sub/script.sh", fs::perms(0700));
    const auto atSecond = Tree(tmp_.path() / "src");
    const std::string second = Backup("04");

    EXPECT_EQ(Restored(full, "r-full"), atFull);
    EXPECT_EQ(Restored(first, "r-first"), atFirst);
    EXPECT_EQ(Restored(second, "r-second"), atSecond);
    EXPECT_EQ(Restored(quiet, "r-quiet"), atFull);

    // A differential holds what changed since the full backup, no more.
    std::vector<std::string> own;
    for (const auto& [name, facts] : Restored(second, "r-own", true)) {
        own.push_back(name);
    }
    EXPECT_EQ(own, (std::vector<std::string>{"edit.txt", "sub/new.txt", "sub/script.sh"}));

    for (const std::string& archive : {full, first, second, quiet}) {
        EXPECT_EQ(test::PeerTestFailures(archive, kPassword), std::vector<std::string>{})
            << archive;
    }

    // The search shows the user's files only, never the archives' records.
    const CommandResult found = Mzb({"find", tmp_.dir() + "out", "*"});
    EXPECT_EQ(found.out.find(".mzb-manifest"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("edit.txt"), std::string::npos) << found.out;
}

TEST_F(DifferentialCommandsTest, MissingFullArchiveIsNamedAndTheRestIsRestored) {
    Source("old.txt", "from the full backup", 0644, 1'767'000'000);
    const std::string full = Backup("01");
    Source("new.txt", "from the differential", 0644, 1'767'000'100);
    const std::string differential = Backup("02");
    fs::rename(full, tmp_.dir() + "elsewhere.zip");

    const CommandResult r =
        Mzb({"restore", differential, tmp_.dir() + "r", "-o", "always", "-p", kPassword});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("old.txt: its archive 'docs03-01_10-00-00.zip' is missing"),
              std::string::npos)
        << r.out;
    const auto restored = Tree(tmp_.path() / "r" / tmp_.dir().substr(1) / "src");
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored.begin()->first, "new.txt");
}

} // namespace
} // namespace mzb
