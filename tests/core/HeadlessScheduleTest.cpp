#include "core/backup/ZipWriterBackup.h"
#include "core/base/DateText.h"
#include "core/schedule/HeadlessScheduleHost.h"
#include "core/schedule/Schedule.h"
#include "support/FakeRunHost.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::FakeRunHost;
using test::TempDir;

LocalDateTime At(const char* text) {
    return ParseDateTime(text).value();
}

// The schedule without a window over a real project.ini, a real writer and
// a clock the test sets.
class HeadlessScheduleTest : public ::testing::Test {
protected:
    HeadlessScheduleTest() : store_(tmp_.dir() + "project.ini"), writer_(engineHost_) {
        writer_.DoProcessMessages = false;
        tmp_.write("src/a.txt", "alpha\n");
        fs::create_directories(tmp_.path() / "out");
    }

    // A numbered project that backs up src/ into out/ at the given schedule.
    void AddProject(const std::string& name, StoredSchedule schedule, int value = 1) {
        ProjectRecord p;
        p.Name = name;
        p.FilenamePrefix = name;
        p.UseDate = false;
        p.Value = value;
        p.SavePath = tmp_.dir() + "out";
        p.BackupItems = {tmp_.dir() + "src/*.*"};
        p.UsePassword = false;
        p.StoreComment = false;
        store_.WriteProject(name, p);
        store_.WriteSchedule(name, schedule);
        names_.push_back(name);
        store_.WriteProjectNames(names_);
    }

    void Start(const char* when) {
        settings_ = store_.ReadCommonSettings();
        settings_.PromptBeforeBackup = true;
        host_.now = At(when);
        schedule_.RebuildSchedule();
    }
    void TickAt(const char* when) {
        host_.now = At(when);
        schedule_.Timer1Timer();
    }
    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        for (const auto& f : fs::directory_iterator(tmp_.path() / "out")) {
            names.push_back(f.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir tmp_;
    ProjectStore store_;
    std::vector<std::string> names_;
    CommonSettings settings_;
    HeadlessHost engineHost_;
    TZipWriter writer_;
    ZipWriterBackup view_{writer_};
    FakeRunHost host_;
    StoredProjectBackup backup_{store_, settings_, view_, host_};
    HeadlessScheduleHost scheduleHost_{backup_, settings_, host_};
    Schedule schedule_{scheduleHost_,
                       [this](const std::vector<std::string>& n) { return store_.ReadProjects(n); },
                       settings_.PromptBeforeBackup};
};

TEST_F(HeadlessScheduleTest, DueProjectsBackUpInNameOrderWithoutAsking) {
    AddProject("beta", {true, 0, "08:00:00"}, 4);
    AddProject("Alpha", {true, 1, "5"});
    Start("2026-03-14 09:30:00");
    EXPECT_TRUE(scheduleHost_.TimerEnabled());

    TickAt("2026-03-14 09:31:00"); // the daily one is overdue, every-5 is not
    EXPECT_EQ(Archives(), std::vector<std::string>{"beta5.zip"});
    EXPECT_EQ(store_.ReadProject("beta").Value, 5);

    TickAt("2026-03-14 09:35:01"); // now every-5 is due, the daily one waits for tomorrow
    EXPECT_EQ(Archives(), (std::vector<std::string>{"Alpha2.zip", "beta5.zip"}));

    TickAt("2026-03-15 08:00:01"); // both due: Alpha before beta
    EXPECT_EQ(Archives(),
              (std::vector<std::string>{"Alpha2.zip", "Alpha3.zip", "beta5.zip", "beta6.zip"}));
    ASSERT_EQ(host_.messages.size(), 4u);
    EXPECT_NE(host_.messages[2].text.find("'Alpha3.zip'"), std::string::npos);
    EXPECT_NE(host_.messages[3].text.find("'beta6.zip'"), std::string::npos);

    EXPECT_TRUE(host_.questions.empty());
    EXPECT_TRUE(settings_.PromptBeforeBackup) << "the flag is back after every run";
    EXPECT_EQ(scheduleHost_.Results(),
              std::vector<StoredBackupResult>(4, StoredBackupResult::Completed));
}

TEST_F(HeadlessScheduleTest, FailedRunEndsTheTickAndTheRestRunsNextTime) {
    AddProject("a-broken", {true, 0, "08:00:00"});
    AddProject("b-fine", {true, 0, "08:00:00"});
    ProjectRecord broken = store_.ReadProject("a-broken");
    broken.SavePath = tmp_.dir() + "no-such-dir";
    store_.WriteProject("a-broken", broken);
    Start("2026-03-14 09:30:00");

    TickAt("2026-03-14 09:31:00");
    EXPECT_TRUE(Archives().empty());
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
    EXPECT_NE(host_.messages[0].text.find("no-such-dir"), std::string::npos);
    EXPECT_EQ(store_.ReadProject("a-broken").Value, 1) << "a failed run stores no number";
    EXPECT_TRUE(settings_.PromptBeforeBackup);

    TickAt("2026-03-14 09:32:00"); // the broken one is not retried before tomorrow
    EXPECT_EQ(Archives(), std::vector<std::string>{"b-fine2.zip"});
    EXPECT_EQ(scheduleHost_.Results(),
              (std::vector<StoredBackupResult>{StoredBackupResult::Failed,
                                               StoredBackupResult::Completed}));
}

TEST_F(HeadlessScheduleTest, ExistingArchiveIsReportedAndTheTickGoesOn) {
    AddProject("a", {true, 0, "08:00:00"});
    AddProject("b", {true, 0, "08:00:00"});
    tmp_.write("out/a2.zip", "kept");
    Start("2026-03-14 09:30:00");
    TickAt("2026-03-14 09:31:00");
    EXPECT_EQ(test::ReadFile(tmp_.path() / "out/a2.zip"), "kept");
    EXPECT_EQ(Archives(), (std::vector<std::string>{"a2.zip", "b2.zip"}));
    EXPECT_EQ(host_.messages.at(0).text, tmp_.dir() + "out/a2.zip has been exists,Backup suspend!");
}

TEST(StoredProjectBackupTest, SelectsByNameWithoutRegardToCaseOrBlanks) {
    const TempDir tmp;
    const ProjectStore store(tmp.dir() + "project.ini");
    CommonSettings settings;
    settings.ProjectNames = {"Docs", "mail"};
    HeadlessHost engineHost;
    TZipWriter writer(engineHost);
    ZipWriterBackup view(writer);
    FakeRunHost host;
    StoredProjectBackup backup(store, settings, view, host);
    EXPECT_TRUE(backup.Select(" docs "));
    EXPECT_EQ(backup.Selected(), "Docs");
    EXPECT_FALSE(backup.Select("doc"));
    EXPECT_FALSE(backup.Selected());
}

} // namespace
} // namespace mzb
