#include "support/LocalTime.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::RunCommand;
using test::TempDir;

// Two projects saving to out/: "Docs", named by the date and kept by age,
// and "Mail", numbered, that keeps its newest two.
class HistoryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmp_.write("src/a.txt", "what is backed up");
        fs::create_directories(tmp_.path() / "out");
        ini_ = tmp_.write("project.ini",
                          "[Common]\nProject Count=2\nCount0=Docs\nCount1=Mail\n\n"
                          "[Docs]\nFilename prefix=docs\nSave Path=" +
                              tmp_.dir() + "out\nBackup Directory Count=1\nBackup0=" + tmp_.dir() +
                              "src/a.txt\nWhether password Project=0\n"
                              "Keep Archives=2\nVerify After Backup=1\n\n"
                              "[Mail]\nFilename prefix=mail\nWhether use Date=0\nSave Path=" +
                              tmp_.dir() +
                              "out\nKeep Archives=1\nKeep Last=2\nWarn After Days=3\n"
                              "Last Backup=2025-06-01 08:00:00\n")
                   .string();
    }

    CommandResult Mzb(std::vector<std::string> args) {
        args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
        return RunCommand(args);
    }

    // A file of out/ last written at that local time.
    void Archive(const std::string& name, int year, int month, int day) {
        const fs::path file = tmp_.path() / "out" / name;
        if (!fs::exists(file)) {
            tmp_.write("out/" + name, std::string(2048, 'z'));
        }
        const std::time_t at = test::LocalTime(year, month, day, 12, 0, 0);
        const timespec times[2] = {{at, 0}, {at, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
    }

    std::vector<std::string> Folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(tmp_.path() / "out")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir tmp_;
    std::string ini_;
};

// A backup a day through a leap year, each pruned by the rule as it ends:
// what is left is the last 7 days, the newest of each of the last 4 weeks
// (from Monday) and of each of the last 12 months.
TEST_F(HistoryCommandsTest, AYearOfDailyBackupsEndsWithExactlyTheArchivesTheRuleKeeps) {
    for (int day = 0; day < 366; ++day) {
        std::tm date{};
        date.tm_year = 2024 - 1900;
        date.tm_mday = 1 + day;
        date.tm_hour = 12;
        date.tm_isdst = -1;
        std::mktime(&date);
        char now[32];
        char name[32];
        std::strftime(now, sizeof now, "%Y-%m-%d 12:00:00", &date);
        std::strftime(name, sizeof name, "docs%m-%d_12-00-00.zip", &date);
        const CommandResult r = Mzb({"backup", "Docs", "--now", now, "-q"});
        ASSERT_EQ(r.exitCode, 0) << now << "\n" << r.out << r.err;
        Archive(name, 2024, date.tm_mon + 1, date.tm_mday);
    }
    std::vector<std::string> expected = {"docs12-15_12-00-00.zip", "docs12-22_12-00-00.zip"};
    for (int day = 25; day <= 31; ++day) {
        expected.push_back("docs12-" + std::to_string(day) + "_12-00-00.zip");
    }
    for (const char* monthEnd : {"01-31", "02-29", "03-31", "04-30", "05-31", "06-30", "07-31",
                                 "08-31", "09-30", "10-31", "11-30"}) {
        expected.push_back(std::string("docs") + monthEnd + "_12-00-00.zip");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Folder(), expected);
}

TEST_F(HistoryCommandsTest, PruneDryRunListsWhatWouldGoAndStatusShowsWhatIsKept) {
    Archive("mail1.zip", 2025, 6, 1);
    Archive("mail2.zip", 2025, 6, 2);
    Archive("mail3.zip", 2025, 6, 3);
    Archive("docs06-03_12-00-00.zip", 2025, 6, 3);
    const std::string out = tmp_.dir() + "out/";

    const CommandResult dry = Mzb({"prune", "mail", "--dry-run", "--now", "2025-06-05 00:00:00"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(dry.out, out + "mail1.zip\n");
    EXPECT_TRUE(fs::exists(out + "mail1.zip"));

    const CommandResult status = Mzb({"status", "--now", "2025-06-05 00:00:00"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, "Docs\tnever\tnone\tnot scheduled\t1\t2\t\n"
                          "Mail\t2025-06-01 08:00:00\tcompleted\tnot scheduled\t3\t6\tSTALE\n");

    const CommandResult pruned = Mzb({"prune", "Mail"});
    EXPECT_EQ(pruned.exitCode, 0) << pruned.err;
    EXPECT_EQ(pruned.out, out + "mail1.zip\n");
    EXPECT_EQ(Folder(),
              (std::vector<std::string>{"docs06-03_12-00-00.zip", "mail2.zip", "mail3.zip"}));
    EXPECT_EQ(Mzb({"prune", "Nobody"}).exitCode, 1);
}

} // namespace
} // namespace mzb
