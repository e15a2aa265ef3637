#include "core/project/PasswordScramble.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

using test::CommandResult;
using test::RunCommand;
using test::TempDir;

class ProjectCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ini_ = tmp_.write("project.ini", "[Common]\r\n"
                                         "Project Count=3\r\n"
                                         "Count0=mail\r\n"
                                         "Count1=Docs\r\n"
                                         "Count2=alpha\r\n"
                                         "Is Append 0=1\r\n"
                                         "Width=3\r\n"
                                         "\r\n"
                                         "[docs]\r\n"
                                         "Filename prefix=docs\r\n"
                                         "Whether use Date=0\r\n"
                                         "Increase Value=2\r\n"
                                         "Value=3\r\n"
                                         "Save Path=/srv/backups\r\n"
                                         "Backup Directory Count=2\r\n"
                                         "Backup0=/home/u/Data/*.doc\r\n"
                                         "Backup1=\r\n"
                                         "Password=" +
                                             EncodePassword("s3cret", "Docs") +
                                             "\r\n"
                                             "IsEnabledAutoBack=1\r\n"
                                             "BackupMode=2\r\n"
                                             "StartTime_or_Increase=Friday\r\n"
                                             "Last Backup=2024-03-08 12:00:02\r\n"
                                             "\r\n"
                                             "[mail]\r\n"
                                             "Filename prefix=mail\r\n"
                                             "Save Path=/srv/mail\r\n")
                   .string();
    }

    CommandResult Mzb(std::vector<std::string> args) {
        args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
        return RunCommand(args);
    }

    TempDir tmp_;
    std::string ini_;
};

TEST_F(ProjectCommandsTest, ProjectsListsNamesInTheProgramsOrder) {
    const CommandResult r = Mzb({"projects"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "alpha\nDocs\nmail\n");
}

TEST_F(ProjectCommandsTest, ShowPrintsEveryKeyInTheStoresOrderWithThePasswordDecoded) {
    const CommandResult r = Mzb({"show", " DOCS "});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Filename prefix=docs\n"
                     "Whether use Date=0\n"
                     "Increase Value=2\n"
                     "Value=3\n"
                     "Save Path=/srv/backups\n"
                     "Backup Directory Count=1\n"
                     "Backup0=/home/u/Data/*.doc\n"
                     "No Backup Directory Count=0\n"
                     "Whether include Subdirectory=1\n"
                     "Whether password Project=1\n"
                     "Password=s3cret\n"
                     "Encryption=0\n"
                     "Whether store path in Zip=1\n"
                     "Whether store comment in Zip=1\n"
                     "Comment=\n"
                     "Keep Archives=0\n"
                     "Keep Last=10\n"
                     "Keep Daily=7\n"
                     "Keep Weekly=4\n"
                     "Keep Monthly=12\n"
                     "Verify After Backup=0\n"
                     "Backup Type=0\n"
                     "Full Every=7\n"
                     "Remote Copy=\n"
                     "IsEnabledAutoBack=1\n"
                     "BackupMode=2\n"
                     "StartTime_or_Increase=Friday\n"
                     "Warn After Days=0\n");
}

TEST_F(ProjectCommandsTest, NextNameIsWhatLoadingTheProjectComputes) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{"next-name", "Docs"}, "/srv/backups/docs005.zip\n"},
        {{"next-name", "mail", "--now", "2026-12-07 20:41:38"},
         "/srv/mail/mail12-07_20-41-38.zip\n"},
    };
    for (const auto& c : cases) {
        const CommandResult r = Mzb(c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.expected);
    }
}

TEST_F(ProjectCommandsTest, RefusalsAndUsageErrorsHaveTheirOwnStatus) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"show", "nothere"}, 1},
        {{"next-name", "nothere"}, 1},
        // A section without a list entry is no project.
        {{"show", "Common"}, 1},
        {{"show"}, 2},
        {{"projects", "extra"}, 2},
        {{"next-name", "Docs", "--now", "yesterday"}, 2},
        {{"next-name", "Docs", "--then", "2026-01-01 00:00:00"}, 2},
    };
    for (const auto& c : cases) {
        const CommandResult r = Mzb(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_FALSE(r.err.empty());
    }
}

TEST_F(ProjectCommandsTest, WithoutAnIniFileTheListIsEmpty) {
    const CommandResult r = RunCommand({MZB_EXE, "--ini", tmp_.dir() + "absent.ini", "projects"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace mzb
