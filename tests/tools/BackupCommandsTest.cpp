#include "core/project/PasswordScramble.h"
#include "core/project/ProjectStore.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

// A project.ini with the keys the program writes, for one numbered project
// "Docs" that backs up src/ with its subdirectories into out/.
class BackupCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto text = test::MakeText(200000, 11);
        const auto binary = test::MakeBinary(70000, 12);
        tmp_.write("src/notes.txt", std::string(text.begin(), text.end()));
        tmp_.write("src/sub/deep/data.bin", std::string(binary.begin(), binary.end()));
        tmp_.write("src/.hidden", "dot files are backed up too");
        tmp_.write("src/empty", "");
        fs::create_directories(tmp_.path() / "out");
        WriteIni("");
    }

    // The first of two equal keys is the one read, so extra keys win.
    void WriteIni(const std::string& extraDocsKeys, const std::string& commonKeys = "") {
        ini_ = tmp_.write("project.ini", "[Common]\r\nProject Count=1\r\nCount0=Docs\r\n" +
                                             commonKeys + "\r\n[Docs]\r\n" + extraDocsKeys +
                                             "Filename prefix=docs\r\n"
                                             "Whether use Date=0\r\n"
                                             "Increase Value=3\r\n"
                                             "Value=4\r\n"
                                             "Save Path=" +
                                             tmp_.dir() + "out\r\n" +
                                             "Backup Directory Count=1\r\n"
                                             "Backup0=" +
                                             tmp_.dir() + "src/*.*\r\n" +
                                             "Whether include Subdirectory=1\r\n"
                                             "Whether store path in Zip=1\r\n"
                                             "Whether password Project=1\r\n"
                                             "Password=" +
                                             EncodePassword("Key 1", "Docs") + "\r\n")
                   .string();
    }

    CommandResult Mzb(std::vector<std::string> args) {
        args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
        return RunCommand(args);
    }

    // "Value" of the one project section.
    std::string StoredValue() const {
        const std::string ini = ReadFile(ini_);
        const auto at = ini.find("\nValue=");
        if (at == std::string::npos) {
            return {};
        }
        const auto from = at + 7;
        return ini.substr(from, ini.find_first_of("\r\n", from) - from);
    }

    TempDir tmp_;
    std::string ini_;
};

TEST_F(BackupCommandsTest, BackupPassesUnzipAndRestoresByteIdenticalFiles) {
    MZB_REQUIRE_PEERS("unzip");
    const CommandResult r = Mzb({"backup", "docs"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string archive = tmp_.dir() + "out/docs7.zip";
    const std::string kb = std::to_string(fs::file_size(archive) / 1024);
    EXPECT_EQ(r.out, "Backup Files Succeeds!\nProject Name: 'Docs'\n"
                     "File Name:    'docs7.zip'\nFile Size:    '" +
                         kb + "Kb'\n");
    const CommandResult t = RunCommand({test::PeerPath("unzip"), "-tq", "-P", "Key 1", archive});
    EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
    const CommandResult restore =
        Mzb({"restore", archive, tmp_.dir() + "back", "-p", "Key 1", "-o", "always"});
    ASSERT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    const fs::path restored = tmp_.path() / "back" / tmp_.path().relative_path() / "src";
    for (const char* name : {"notes.txt", "sub/deep/data.bin", ".hidden", "empty"}) {
        ASSERT_TRUE(fs::exists(restored / name)) << name;
        EXPECT_EQ(ReadFile(restored / name), ReadFile(tmp_.path() / "src" / name)) << name;
    }

    // An empty destination puts the folder back where it was: the backup
    // stored its full path, which lies inside this test's folder.
    fs::remove_all(tmp_.path() / "src");
    const CommandResult back = Mzb({"restore", archive, "", "-p", "Key 1"});
    ASSERT_EQ(back.exitCode, 0) << back.out << back.err;
    for (const char* name : {"notes.txt", "sub/deep/data.bin", ".hidden", "empty"}) {
        EXPECT_EQ(ReadFile(tmp_.path() / "src" / name), ReadFile(restored / name)) << name;
    }
}

TEST_F(BackupCommandsTest, EachBackupAdvancesTheStoredNumber) {
    for (const char* expected : {"7", "10", "13"}) {
        const CommandResult r = Mzb({"backup", "Docs"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("'docs" + std::string(expected) + ".zip'"), std::string::npos);
        EXPECT_EQ(StoredValue(), expected);
    }
}

TEST_F(BackupCommandsTest, RefusalsExitOneAndFailuresTwo) {
    tmp_.write("out/docs7.zip", "someone else's");
    const CommandResult exists = Mzb({"backup", "Docs"});
    EXPECT_EQ(exists.exitCode, 1);
    EXPECT_EQ(exists.out, tmp_.dir() + "out/docs7.zip has been exists,Backup suspend!\n");
    EXPECT_EQ(ReadFile(tmp_.path() / "out/docs7.zip"), "someone else's");

    WriteIni("", "IsOverWrite=1\r\n");
    EXPECT_EQ(Mzb({"backup", "Docs"}).exitCode, 0) << "overwriting is allowed now";

    WriteIni("Filename prefix= \r\n");
    const CommandResult refused = Mzb({"backup", "Docs"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Please input the prefix of backup filename\n");

    fs::remove_all(tmp_.path() / "out");
    WriteIni("");
    const CommandResult failed = Mzb({"backup", "Docs"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.out.find("docs7.zip"), std::string::npos) << failed.out;
    EXPECT_EQ(StoredValue(), "4");

    EXPECT_EQ(Mzb({"backup", "Mail"}).exitCode, 1);
    EXPECT_EQ(Mzb({"backup"}).exitCode, 2);
    EXPECT_EQ(Mzb({"backup", "Docs", "--now", "yesterday"}).exitCode, 2);
}

// A cron job beside the window, or two at once: the project being backed up
// is refused; another project is not held up.
TEST_F(BackupCommandsTest, ABackupOfTheSameProjectAlreadyRunningIsRefusedWithStatusOne) {
    const ProjectStore store(ini_);
    {
        const auto running = store.TryLockBackup("docs");
        const CommandResult r = Mzb({"backup", "Docs"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "Project 'Docs' is already being backed up by another run; this backup "
                         "is skipped.\n");
        EXPECT_FALSE(fs::exists(tmp_.path() / "out/docs7.zip"));
        EXPECT_EQ(StoredValue(), "4");
    }
    const auto other = store.TryLockBackup("Papers");
    EXPECT_EQ(Mzb({"backup", "Docs"}).exitCode, 0);
}

// A drive that is not mounted: what could be saved is written and the
// number advances, but scripts see status 1; with nothing to save no
// archive is written and the number stays, and scripts see status 1 too.
TEST_F(BackupCommandsTest, BackupsThatLackFilesExitOne) {
    WriteIni("Backup Directory Count=2\r\nBackup0=" + tmp_.dir() +
             "src/*.*\r\nBackup1=/media/not-mounted/photos/*\r\n");
    const CommandResult missing = Mzb({"backup", "Docs"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.starts_with("Backup incomplete!")) << missing.out;
    EXPECT_TRUE(missing.out.ends_with(
        "Kb'\nFiles Left Out: 1\n  folder not found: /media/not-mounted/photos\n"))
        << missing.out;
    EXPECT_EQ(StoredValue(), "7");

    fs::remove(tmp_.path() / "out/docs7.zip");
    WriteIni("IsEnabledAutoBack=1\r\nBackupMode=0\r\nStartTime_or_Increase=00:00:00\r\n"
             "Backup Directory Count=1\r\nBackup0=/media/not-mounted/photos/*\r\n");
    const std::string number = StoredValue();
    const CommandResult scheduled = Mzb({"run-schedule", "--minutes", "1"});
    EXPECT_EQ(scheduled.exitCode, 1);
    EXPECT_TRUE(scheduled.out.starts_with("Backup failed! No files were backed up"))
        << scheduled.out;
    EXPECT_NE(scheduled.out.find("folder not found: /media/not-mounted/photos"), std::string::npos)
        << scheduled.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.path() / "out"), {}), 0);
    EXPECT_EQ(StoredValue(), number);
}

TEST_F(BackupCommandsTest, DateNamedBackupTakesItsNameFromNow) {
    WriteIni("Whether use Date=1\r\n");
    const CommandResult r = Mzb({"backup", "Docs", "--now", "2026-03-14 09:26:53"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(tmp_.path() / "out/docs03-14_09-26-53.zip"));
}

TEST_F(BackupCommandsTest, RunScheduleRunsWhatIsDueAtTheFirstTick) {
    // Due since midnight, so the one tick of --minutes 1 runs it at once.
    WriteIni("IsEnabledAutoBack=1\r\nBackupMode=0\r\nStartTime_or_Increase=00:00:00\r\n",
             "PromptBeforeBackup=1\r\n");
    const CommandResult r = Mzb({"run-schedule", "--minutes", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("Backup Files Succeeds!\nProject Name: 'Docs'\n"
                                  "File Name:    'docs7.zip'\n"))
        << r.out;
    EXPECT_EQ(StoredValue(), "7");

    WriteIni("");
    const CommandResult idle = Mzb({"run-schedule", "--minutes", "1"});
    EXPECT_EQ(idle.exitCode, 0);
    EXPECT_EQ(idle.out, "");
    EXPECT_EQ(idle.err, "mzb: no project is scheduled\n");

    EXPECT_EQ(Mzb({"run-schedule", "--minutes", "0"}).exitCode, 2);
}

} // namespace
} // namespace mzb
