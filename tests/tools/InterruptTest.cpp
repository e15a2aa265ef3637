// Interrupted runs end to end: whatever stops a long mzb command, no name
// the user sees holds a partial file, an old archive stays as it was, and
// the next run finds nothing in its way. The test build of mzb (mzb_points)
// stops each run at a named point without timing: MZB_SIGNAL_AT tells it
// where and with which signal (support/points/SignalAtPoint.cpp).
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <utime.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

// Points from the output's creation to the moment before the rename.
const char* const kWriterPoints[] = {"writer-first-entry", "writer-mid-entry",
                                     "writer-central-directory", "writer-before-rename"};

// A numbered project "Docs" backing up src/ into out/, due every day since
// midnight so that a schedule's first tick runs it; and an archive of src/.
class InterruptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto random = test::MakeRandomBytes(400000, 21);
        const auto text = test::MakeText(150000, 22);
        tmp_.write("src/big.bin", std::string(random.begin(), random.end()));
        tmp_.write("src/notes.txt", std::string(text.begin(), text.end()));
        fs::create_directories(tmp_.path() / "out");
        ini_ = tmp_.write("project.ini", "[Common]\r\nProject Count=1\r\nCount0=Docs\r\n\r\n"
                                         "[Docs]\r\nFilename prefix=docs\r\n"
                                         "Whether use Date=0\r\nIncrease Value=3\r\nValue=4\r\n"
                                         "Save Path=" +
                                             tmp_.dir() + "out\r\nBackup Directory Count=1\r\n" +
                                             "Backup0=" + tmp_.dir() + "src/*.*\r\n" +
                                             "Whether include Subdirectory=1\r\n"
                                             "IsEnabledAutoBack=1\r\nBackupMode=0\r\n"
                                             "StartTime_or_Increase=00:00:00\r\n")
                   .string();
    }

    std::string Out(const std::string& name) const { return tmp_.dir() + "out/" + name; }
    std::string Src() const { return tmp_.dir() + "src"; }

    // `signalAt` is "POINT:SIGNAL", or empty for a run of the shipped mzb.
    CommandResult Mzb(std::vector<std::string> args, const std::string& signalAt = {}) {
        if (signalAt.empty()) {
            args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
            return RunCommand(args);
        }
        args.insert(args.begin(), {MZB_POINTS_EXE, "--ini", ini_});
        return RunCommand(args, {"MZB_SIGNAL_AT=" + signalAt});
    }

    std::string StoredValue() const {
        const std::string ini = ReadFile(ini_);
        const auto from = ini.find("\nValue=") + 7;
        return ini.substr(from, ini.find_first_of("\r\n", from) - from);
    }

    std::set<std::string> OutNames() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp_.path() / "out")) {
            names.insert(e.path().filename().string());
        }
        return names;
    }

    // Every hidden file anywhere below the test's folder: part files left.
    std::set<std::string> HiddenFiles() const {
        std::set<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(tmp_.path())) {
            if (e.path().filename().string().starts_with(".")) {
                found.insert(fs::relative(e.path(), tmp_.path()).string());
            }
        }
        return found;
    }

    void MakeNotesNewer() {
        const auto text = test::MakeText(150000, 23);
        const auto path = tmp_.write("src/notes.txt", std::string(text.begin(), text.end()));
        const std::time_t later = std::time(nullptr) + 120;
        const utimbuf times{later, later};
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    }

    TempDir tmp_;
    std::string ini_;
};

TEST_F(InterruptTest, AKilledBackupLeavesNoArchiveAndTheNextBackupIsNumberedRight) {
    MZB_REQUIRE_PEERS("unzip");
    for (const char* point : kWriterPoints) {
        SCOPED_TRACE(point);
        const CommandResult r = Mzb({"backup", "Docs"}, std::string(point) + ":9");
        EXPECT_EQ(r.signal, SIGKILL) << r.out << r.err;
        EXPECT_FALSE(fs::exists(Out("docs7.zip")));
        EXPECT_EQ(StoredValue(), "4");
    }
    const CommandResult next = Mzb({"backup", "Docs"});
    EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
    EXPECT_EQ(StoredValue(), "7");
    EXPECT_EQ(OutNames(), std::set<std::string>{"docs7.zip"}) << "the leftover went";
    EXPECT_EQ(RunCommand({test::PeerPath("unzip"), "-tq", Out("docs7.zip")}).exitCode, 0);
}

TEST_F(InterruptTest, AKilledCreateLeavesNoArchiveAndAKilledUpdateTheOldOneAsItWas) {
    const CommandResult killedNew =
        Mzb({"create", Out("a.zip"), "-r", Src()}, "writer-mid-entry:9");
    EXPECT_EQ(killedNew.signal, SIGKILL);
    EXPECT_FALSE(fs::exists(Out("a.zip")));

    ASSERT_EQ(Mzb({"create", Out("a.zip"), "-r", Src()}).exitCode, 0);
    const std::string before = ReadFile(Out("a.zip"));
    MakeNotesNewer();
    for (const char* point : kWriterPoints) {
        SCOPED_TRACE(point);
        const CommandResult r =
            Mzb({"create", Out("a.zip"), "-r", Src()}, std::string(point) + ":9");
        EXPECT_EQ(r.signal, SIGKILL) << r.out << r.err;
        EXPECT_EQ(ReadFile(Out("a.zip")), before);
    }
    ASSERT_EQ(Mzb({"create", Out("a.zip"), "-r", Src()}).exitCode, 0);
    EXPECT_NE(ReadFile(Out("a.zip")), before);
    EXPECT_EQ(OutNames(), std::set<std::string>{"a.zip"});
}

TEST_F(InterruptTest, EveryLongCommandEndsOnItsSignalAndLeavesNoPartialOutput) {
    const std::string archive = Out("a.zip");
    ASSERT_EQ(Mzb({"create", archive, "-r", Src()}).exitCode, 0);
    const std::string before = ReadFile(archive);
    MakeNotesNewer(); // so that an update has a file to replace
    const std::string dest = tmp_.dir() + "dest";
    struct Case {
        std::vector<std::string> args;
        const char* point;
        int signal;
        std::string unfinished; // the start of what stderr says after the signal's name
    };
    const Case cases[] = {
        {{"create", Out("new.zip"), "-r", Src()},
         "writer-mid-entry",
         SIGTERM,
         Out("new.zip") + " was not written; nothing was left\n"},
        {{"create", archive, "-r", Src()},
         "writer-mid-entry",
         SIGINT,
         archive + " was not updated and is as it was\n"},
        {{"backup", "Docs"},
         "writer-mid-entry",
         SIGHUP,
         "the backup of project 'Docs' was not made; no partial archive was left\n"},
        {{"run-schedule", "--minutes", "1"},
         "writer-mid-entry",
         SIGTERM,
         "the schedule stopped; the backup under way was not made and no partial archive was "
         "left\n"},
        {{"extract", archive, dest},
         "extract-mid-entry",
         SIGINT,
         archive + " was extracted only in part ("},
        {{"test", archive}, "extract-mid-entry", SIGTERM, archive + " was tested only in part ("},
        {{"restore", archive, dest, "-o", "always"},
         "extract-mid-entry",
         SIGHUP,
         archive + " was restored only in part; no partial file was left\n"},
    };
    const std::map<int, std::string> names = {
        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + names.at(c.signal));
        const CommandResult r = Mzb(c.args, std::string(c.point) + ":" + std::to_string(c.signal));
        EXPECT_EQ(r.exitCode, 128 + c.signal) << r.out << r.err;
        const std::string expected =
            "mzb: interrupted by " + names.at(c.signal) + ": " + c.unfinished;
        EXPECT_EQ(r.err.substr(0, expected.size()), expected);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out.find("Succeeds"), std::string::npos) << r.out;
        EXPECT_EQ(OutNames(), std::set<std::string>{"a.zip"});
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_EQ(HiddenFiles(), std::set<std::string>{});
        EXPECT_EQ(StoredValue(), "4");
    }
}

} // namespace
} // namespace mzb
