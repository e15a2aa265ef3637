#include "core/schedule/Schedule.h"

#include "core/base/DateText.h"
#include "support/ScopedEnvironment.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdexcept>

namespace mzb {

namespace {

using std::chrono::minutes;

LocalDateTime At(const char* text) {
    return ParseDateTime(text).value();
}

struct BackupRun {
    std::string Project;
    std::string When;
    bool Prompt;
    friend bool operator==(const BackupRun&, const BackupRun&) = default;
};

std::ostream& operator<<(std::ostream& out, const BackupRun& r) {
    return out << r.Project << " at " << r.When << (r.Prompt ? " (prompted)" : "");
}

// The main window as the schedule sees it, with a clock the test sets.
class FakeWindow : public ScheduleHost {
public:
    LocalDateTime now;
    std::vector<std::string> projects;
    std::map<std::string, StoredSchedule> stored;
    std::map<std::string, StoredBackupResult> results; // Completed where none is given
    std::set<std::string> throwing;
    std::vector<std::pair<std::string, StoredBackupResult>> told;
    bool saveEnabled = false;
    bool startEnabled = true;
    bool prompt = true;
    bool timer = false;
    int timerStarts = 0;
    std::vector<bool> marks;
    std::string selected;
    std::string loaded;
    std::vector<BackupRun> runs;
    std::function<void()> duringBackup;
    std::map<std::string, LocalDateTime> lastBackup;

    Schedule schedule{*this, [this](const std::vector<std::string>& names) { return Read(names); },
                      prompt};

    std::vector<ProjectRecord> Read(const std::vector<std::string>& names) {
        std::vector<ProjectRecord> read;
        for (const std::string& name : names) {
            ProjectRecord& project = read.emplace_back();
            project.Name = name;
            project.SetScheduleValues(stored[name]);
            if (const auto it = lastBackup.find(name); it != lastBackup.end()) {
                project.LastBackup = it->second;
            }
        }
        return read;
    }

    void Rebuild(const char* when) {
        now = At(when);
        schedule.RebuildSchedule();
    }
    // One tick of Timer1 at the given moment, as the timer would fire it.
    void TickAt(const char* when) {
        now = At(when);
        if (timer) {
            schedule.Timer1Timer();
        }
    }
    std::vector<BackupRun> TakeRuns() { return std::exchange(runs, {}); }

    LocalDateTime Now() override { return now; }
    std::vector<std::string> ProjectNames() override { return projects; }
    bool IsSaveEnabled() override { return saveEnabled; }
    bool IsStartEnabled() override { return startEnabled; }
    bool SelectProject(const std::string& name) override {
        selected.clear();
        for (const auto& p : projects) {
            if (std::equal(p.begin(), p.end(), name.begin(), name.end(),
                           [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
                selected = p;
            }
        }
        return !selected.empty();
    }
    void LoadSelectedProject() override { loaded = selected; }
    StoredBackupResult StartBackup() override {
        runs.push_back({loaded, FormatDateTime(now), prompt});
        lastBackup[loaded] = now;
        startEnabled = false; // the run lock
        if (duringBackup) {
            duringBackup();
        }
        startEnabled = true;
        if (throwing.contains(loaded)) {
            throw std::runtime_error("writer failed");
        }
        const auto it = results.find(loaded);
        return it == results.end() ? StoredBackupResult::Completed : it->second;
    }
    void TellUnattendedProblem(const std::string& project, StoredBackupResult result) override {
        told.emplace_back(project, result);
    }
    void SetTimerEnabled(bool enabled) override {
        timer = enabled;
        timerStarts += enabled ? 1 : 0;
    }
    void SetTrayMarks(const std::vector<bool>& m) override { marks = m; }

    void Plan(const std::string& name, int mode, const std::string& value) {
        projects.push_back(name);
        stored[name] = {true, mode, value};
    }
};

} // namespace

TEST(Schedule, NothingScheduledLeavesTheTimerOffAndNoMarks) {
    FakeWindow w;
    w.projects = {"Docs", "Photos"};
    w.stored["Photos"] = {false, 1, "5"};
    w.Rebuild("2024-03-10 09:00:00");
    EXPECT_FALSE(w.timer);
    EXPECT_EQ(w.timerStarts, 0);
    EXPECT_TRUE(w.schedule.Entries().empty());
    EXPECT_EQ(w.marks, (std::vector<bool>{false, false}));
}

TEST(Schedule, DailyTimeAlreadyPassedRunsAtTheFirstTickThenNextDay) {
    FakeWindow w;
    w.projects = {"Alpha"};
    w.Plan("Docs", 0, "08:00:00");
    w.Rebuild("2024-03-10 09:30:00");
    EXPECT_TRUE(w.timer);
    EXPECT_EQ(w.marks, (std::vector<bool>{false, true}));
    w.TickAt("2024-03-10 09:31:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Docs", "2024-03-10 09:31:00", false}}));
    EXPECT_EQ(w.schedule.NextRun("DOCS"), At("2024-03-11 08:00:00"));
    EXPECT_FALSE(w.schedule.NextRun("Alpha")) << "not scheduled";
    w.TickAt("2024-03-10 09:32:00");
    w.TickAt("2024-03-11 08:00:00"); // not yet strictly later
    EXPECT_TRUE(w.TakeRuns().empty());
    w.TickAt("2024-03-11 08:00:30");
    EXPECT_EQ(w.TakeRuns().size(), 1u);
    // The selection stays on the project that ran.
    EXPECT_EQ(w.selected, "Docs");
}

TEST(Schedule, ARebuildAfterTheDailyRunRunsItAgain) {
    FakeWindow w;
    w.Plan("Docs", 0, "12:00:00");
    w.Rebuild("2024-03-10 11:00:00");
    w.TickAt("2024-03-10 12:01:00");
    EXPECT_EQ(w.TakeRuns().size(), 1u);
    w.Rebuild("2024-03-10 15:00:00"); // Apply in Preferences
    w.TickAt("2024-03-10 15:01:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Docs", "2024-03-10 15:01:00", false}}));
}

TEST(Schedule, EveryFiveMinutesCatchesUpOnceATickAfterSleeping) {
    FakeWindow w;
    w.Plan("Docs", 1, "5");
    w.Rebuild("2024-03-10 10:00:00");
    EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-10 10:05:00"));
    w.TickAt("2024-03-10 10:05:00");
    EXPECT_TRUE(w.TakeRuns().empty());
    w.TickAt("2024-03-10 10:06:00");
    EXPECT_EQ(w.TakeRuns().size(), 1u); // next due 10:10
    // Asleep from 10:06 to 11:06; then a tick a minute. Each tick runs once
    // and moves NextRun by 5 minutes, until it passes now after 14 runs.
    int ticks = 0;
    for (int m = 6; m < 30; ++m) {
        w.now = At("2024-03-10 11:00:00") + minutes(m);
        w.schedule.Timer1Timer();
        ++ticks;
        if (w.schedule.Entries()[0].NextRun > w.now) {
            break;
        }
    }
    EXPECT_EQ(w.TakeRuns().size(), 14u);
    EXPECT_EQ(ticks, 14);
    EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-10 11:20:00"));
    w.TickAt("2024-03-10 11:20:00");
    EXPECT_TRUE(w.TakeRuns().empty());
    w.TickAt("2024-03-10 11:21:00");
    EXPECT_EQ(w.TakeRuns().size(), 1u);
    EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-10 11:25:00"));
}

TEST(Schedule, MissedBackupsAreMadeUpOnceAtStartAndAfterSleep) {
    FakeWindow w;
    w.schedule.SetMissedBackups(true);
    w.Plan("Daily", 0, "08:00:00");
    w.Plan("Fresh", 0, "08:00:00"); // never backed up
    w.Plan("Often", 1, "5");
    w.Plan("Weekly", 2, "Sunday");
    w.lastBackup["Daily"] = *ParseDateTime("2024-03-07 08:00:10");
    w.lastBackup["Often"] = *ParseDateTime("2024-03-07 18:00:00");
    w.lastBackup["Weekly"] = *ParseDateTime("2024-03-03 12:00:10");

    // Off for three days, started before today's times: the daily and the
    // every-5 projects once each; the weekly one is due at noon as ever.
    w.Rebuild("2024-03-10 07:00:00");
    w.schedule.RunMissedBackups();
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Daily", "2024-03-10 07:00:00", false},
                                                    {"Often", "2024-03-10 07:00:00", false}}));
    w.TickAt("2024-03-10 07:01:00");
    EXPECT_TRUE(w.TakeRuns().empty());
    w.TickAt("2024-03-10 07:02:00");
    EXPECT_TRUE(w.TakeRuns().empty());

    // Asleep from 07:02 to the next day 13:00, across two daily, one weekly
    // and many every-5 times: one backup each, then the plain schedule.
    w.TickAt("2024-03-11 13:00:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Daily", "2024-03-11 13:00:00", false},
                                                    {"Fresh", "2024-03-11 13:00:00", false},
                                                    {"Often", "2024-03-11 13:00:00", false},
                                                    {"Weekly", "2024-03-11 13:00:00", false}}));
    EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-12 08:00:00"));
    EXPECT_EQ(w.schedule.Entries()[3].NextRun, At("2024-03-17 12:00:00"));
    w.TickAt("2024-03-11 13:01:00");
    EXPECT_TRUE(w.TakeRuns().empty());

    // Nothing missed: a restart runs what the table's first run runs, the
    // daily times that passed today.
    w.Rebuild("2024-03-11 13:03:00");
    w.schedule.RunMissedBackups();
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Daily", "2024-03-11 13:03:00", false},
                                                    {"Fresh", "2024-03-11 13:03:00", false}}));
}

TEST(Schedule, WeeklyOnTheNamedDayAtNoonAndAMisspeltDayEightDaysOn) {
    FakeWindow w;
    w.Plan("Exact", 2, "Sunday"); // 2024-03-10 is a Sunday
    w.Plan("Lower", 2, "sunday");
    w.Plan("Later", 2, "Wednesday");
    w.Rebuild("2024-03-10 13:00:00");
    const auto& e = w.schedule.Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].NextRun, At("2024-03-10 12:00:00"));
    EXPECT_EQ(e[1].NextRun, At("2024-03-18 12:00:00"));
    EXPECT_EQ(e[2].NextRun, At("2024-03-13 12:00:00"));
    w.TickAt("2024-03-10 13:01:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Exact", "2024-03-10 13:01:00", false}}));
    EXPECT_EQ(e[0].NextRun, At("2024-03-17 12:00:00"));
    EXPECT_EQ(e[1].Interval, std::chrono::hours(24 * 7));
}

TEST(Schedule, EntriesDueInOneTickRunInNameOrderUnlessARunFails) {
    FakeWindow w;
    w.Plan("Alpha", 1, "5");
    w.Plan("Beta", 1, "5");
    w.Plan("Gamma", 1, "5");
    w.Rebuild("2024-03-10 10:00:00");
    w.TickAt("2024-03-10 10:06:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Alpha", "2024-03-10 10:06:00", false},
                                                    {"Beta", "2024-03-10 10:06:00", false},
                                                    {"Gamma", "2024-03-10 10:06:00", false}}));
    EXPECT_EQ(w.selected, "Gamma");
    // A failed run ends the tick: the entries after it wait for the next one.
    w.results["Alpha"] = StoredBackupResult::Failed;
    w.TickAt("2024-03-10 10:11:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Alpha", "2024-03-10 10:11:00", false}}));
    w.results.erase("Alpha");
    w.TickAt("2024-03-10 10:12:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Beta", "2024-03-10 10:12:00", false},
                                                    {"Gamma", "2024-03-10 10:12:00", false}}));
}

TEST(Schedule, UnsavedEditOrRunningBackupPostponesToALaterTick) {
    FakeWindow w;
    w.Plan("Docs", 1, "5");
    w.Rebuild("2024-03-10 10:00:00");
    w.saveEnabled = true;
    w.TickAt("2024-03-10 10:06:00");
    w.saveEnabled = false;
    w.startEnabled = false;
    w.TickAt("2024-03-10 10:07:00");
    EXPECT_TRUE(w.TakeRuns().empty());
    EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-10 10:05:00"));
    w.startEnabled = true;
    w.TickAt("2024-03-10 10:08:00");
    EXPECT_EQ(w.TakeRuns().size(), 1u);
}

// Nobody may be watching an unattended run: a run that ended with an error
// ends the tick, and every ending but a complete archive is told as well.
TEST(Schedule, UnattendedRunsEndTheTickOnAnErrorAndTellEveryProblem) {
    using R = StoredBackupResult;
    const struct {
        R result;
        bool endsTick;
        bool told;
    } cases[] = {
        {R::Completed, false, false}, {R::Declined, false, false}, {R::Incomplete, false, true},
        {R::Exists, false, true},     {R::Busy, false, true},      {R::Refused, true, true},
        {R::Failed, true, true},
    };
    for (const auto& c : cases) {
        FakeWindow w;
        w.Plan("Docs", 1, "5");
        w.Plan("Next", 1, "5");
        w.results["Docs"] = c.result;
        w.Rebuild("2024-03-10 10:00:00");
        w.TickAt("2024-03-10 10:06:00");
        EXPECT_EQ(w.TakeRuns().size(), c.endsTick ? 1u : 2u) << static_cast<int>(c.result);
        EXPECT_EQ(w.told.size(), c.told ? 1u : 0u) << static_cast<int>(c.result);
        if (c.told && !w.told.empty()) {
            EXPECT_EQ(w.told[0], std::pair(std::string("Docs"), c.result));
        }
    }
}

TEST(Schedule, PromptFlagIsOffDuringScheduledRunsAndRestoredHoweverTheyEnd) {
    for (const bool throws : {false, true}) {
        FakeWindow w;
        w.Plan("Docs", 1, "5");
        w.Plan("Next", 1, "5");
        w.results["Docs"] = StoredBackupResult::Refused;
        if (throws) {
            w.throwing.insert("Docs");
        }
        w.prompt = true;
        w.Rebuild("2024-03-10 10:00:00");
        w.now = At("2024-03-10 10:06:00");
        if (throws) {
            EXPECT_THROW(w.schedule.Timer1Timer(), std::runtime_error);
        } else {
            w.schedule.Timer1Timer();
        }
        EXPECT_TRUE(w.prompt);
        ASSERT_EQ(w.runs.size(), 1u);
        EXPECT_FALSE(w.runs[0].Prompt);
        // The failed entry was advanced and is not retried before its time.
        EXPECT_EQ(w.schedule.Entries()[0].NextRun, At("2024-03-10 10:10:00"));
    }
}

TEST(Schedule, ATickDuringABackupsMessageStartsNothing) {
    FakeWindow w;
    w.Plan("Docs", 1, "5");
    w.Plan("Next", 1, "5");
    w.Rebuild("2024-03-10 10:00:00");
    // The project-check message of a run keeps SpStart enabled and lets the
    // timer fire inside the run.
    w.duringBackup = [&] {
        w.startEnabled = true;
        const size_t before = w.runs.size();
        w.schedule.Timer1Timer();
        EXPECT_EQ(w.runs.size(), before);
        w.startEnabled = false;
    };
    w.TickAt("2024-03-10 10:06:00");
    EXPECT_EQ(w.TakeRuns().size(), 2u); // Docs, then Next: no nested run
}

TEST(Schedule, RenamedAwayProjectRunsNothing) {
    FakeWindow w;
    w.Plan("Gone", 1, "5");
    w.Plan("Docs", 1, "5");
    w.Rebuild("2024-03-10 10:00:00");
    w.projects = {"Docs"};
    w.TickAt("2024-03-10 10:06:00");
    EXPECT_EQ(w.TakeRuns(), (std::vector<BackupRun>{{"Docs", "2024-03-10 10:06:00", false}}));
}

// The clock of a real machine in a zone with daylight saving: ticks a
// minute of real time apart, each read as local wall-clock time, through
// the day the clocks skip 02:00-03:00 and the day they pass it twice.
TEST(Schedule, ADailyRunAtTheChangeOfTheClockRunsExactlyOnceThatDay) {
    const test::ScopedEnvironment zone("TZ", test::kZoneWithDaylightSaving);
    for (const auto& [day, hours] : {std::pair{"2024-03-31", 23}, std::pair{"2024-10-27", 25}}) {
        std::tm midnight{};
        ASSERT_NE(strptime(day, "%Y-%m-%d", &midnight), nullptr);
        midnight.tm_isdst = -1;
        const auto start = std::chrono::system_clock::from_time_t(std::mktime(&midnight));
        FakeWindow w;
        w.Plan("Docs", 0, "02:30:00");
        w.now = LocalDateTime::FromSystem(start);
        w.schedule.RebuildSchedule();
        for (int minute = 1; minute < hours * 60; ++minute) {
            w.now = LocalDateTime::FromSystem(start + minutes(minute));
            ASSERT_EQ(FormatShortDate(w.now), day) << "the day has " << hours << " hours";
            w.schedule.Timer1Timer();
        }
        const std::vector<BackupRun> runs = w.TakeRuns();
        ASSERT_EQ(runs.size(), 1u) << day;
        EXPECT_EQ(runs[0].When, std::string(day) + (hours == 23 ? " 03:00:00" : " 02:31:00"));
    }
}

TEST(Schedule, KindsAndFallbacksOfTheStoredValues) {
    const LocalDateTime now = At("2024-03-10 09:30:00");
    struct Case {
        int mode;
        const char* value;
        const char* next;
        int intervalMinutes;
    } const cases[] = {
        {0, "08:00:00", "2024-03-10 08:00:00", 24 * 60},
        {0, "23:59:59", "2024-03-10 23:59:59", 24 * 60},
        {0, "8:05", "2024-03-10 08:05:00", 24 * 60},
        {0, "", "2024-03-10 12:00:00", 24 * 60},
        {0, "25:00:00", "2024-03-10 12:00:00", 24 * 60},
        {0, "8 o'clock", "2024-03-10 12:00:00", 24 * 60},
        // As the older program wrote it in a 12-hour locale.
        {0, "3:00:00 PM", "2024-03-10 15:00:00", 24 * 60},
        {0, "12:00:00 AM", "2024-03-10 00:00:00", 24 * 60},
        {0, "12:30:00 pm", "2024-03-10 12:30:00", 24 * 60},
        {0, "0:30:00 AM", "2024-03-10 12:00:00", 24 * 60},
        {0, "13:00:00 PM", "2024-03-10 12:00:00", 24 * 60},
        {1, "5", "2024-03-10 09:35:00", 5},
        {1, "1000", "2024-03-11 02:10:00", 1000},
        {1, "1439", "2024-03-11 09:29:00", 1439},
        {1, "1440", "2024-03-10 10:30:00", 60},
        {1, "0", "2024-03-10 10:30:00", 60},
        {1, "-5", "2024-03-10 10:30:00", 60},
        {1, "5x", "2024-03-10 10:30:00", 60},
        {1, "", "2024-03-10 10:30:00", 60},
        {2, "Saturday", "2024-03-16 12:00:00", 7 * 24 * 60},
        {2, "Funday", "2024-03-18 12:00:00", 7 * 24 * 60},
    };
    for (const auto& c : cases) {
        const ScheduleEntry e = MakeScheduleEntry("P", {true, c.mode, c.value}, now);
        EXPECT_EQ(FormatDateTime(e.NextRun), c.next) << c.mode << " " << c.value;
        EXPECT_EQ(e.Interval, minutes(c.intervalMinutes)) << c.mode << " " << c.value;
    }
    // A kind this program never writes gets an entry that never falls due.
    FakeWindow w;
    w.Plan("Odd", 7, "5");
    w.Rebuild("2024-03-10 10:00:00");
    ASSERT_EQ(w.schedule.Entries().size(), 1u);
    EXPECT_FALSE(w.schedule.NextRun("Odd"));
    w.TickAt("2099-01-01 00:00:00");
    EXPECT_TRUE(w.TakeRuns().empty());
}

TEST(DateText, FormatsParseBackExactly) {
    const LocalDateTime t = LocalDateTime::Make(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(FormatDateTime(t), "2024-03-05 07:08:09");
    EXPECT_EQ(FormatDateTimeShort(t), "2024-03-05 07:08:09");
    EXPECT_EQ(FormatDateTimeShort(t.DatePart()), "2024-03-05");
    EXPECT_EQ(FormatLongTime(LocalDateTime::TimeOfDay(23, 0, 5)), "23:00:05");
    EXPECT_EQ(ParseDateTime(FormatDateTime(t)), t);
    EXPECT_EQ(ParseDateTime("2024-03-05"), t.DatePart());
    for (const char* bad : {"2024-02-30", "2024-3-05", "2024-03-05 7", "2024-03-05T07:08:09",
                            "05.03.2024", "2024-03-05 07:08:09 x", ""}) {
        EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
    }
}

} // namespace mzb
