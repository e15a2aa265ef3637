#pragma once
// The schedule table and its one-minute tick: which projects back up by
// themselves and when. Nothing about past runs is stored; the advanced
// NextRun in memory is the only record of what has run.

#include "core/project/ProjectRecord.h"
#include "core/schedule/ScheduleHost.h"
#include "platform/LocalDateTime.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

enum class ScheduleKind { DailyAt = 0, EveryMinutes = 1, WeeklyOn = 2 };

struct ScheduleEntry {
    std::string ProjectName;
    LocalDateTime NextRun;
    std::chrono::milliseconds Interval{0};

    // An entry of an unknown kind keeps this NextRun and never falls due.
    static constexpr LocalDateTime kNever = LocalDateTime::FromMs(INT64_MAX);
};

// The interval of an every-N-minutes schedule: N minutes for N from 1 to
// 1439, otherwise (0, negative, too large, not a whole number) 60 minutes.
std::chrono::milliseconds EveryMinutesInterval(const std::string& stored);
// The entry a project gets when the table is built at `now`.
ScheduleEntry MakeScheduleEntry(const std::string& project, const StoredSchedule& stored,
                                LocalDateTime now);

// The stored projects of those names, in that order, read in one go
// (ProjectStore::ReadProjects).
using ReadProjectsFn =
    std::function<std::vector<ProjectRecord>(const std::vector<std::string>& projects)>;

// The schedule mark of each project, in their order: on where the stored
// schedule is, whether or not a rebuild has taken it into the table yet.
std::vector<bool> ScheduleMarks(const std::vector<ProjectRecord>& projects);

// A gap between ticks longer than this means the computer slept.
inline constexpr std::chrono::minutes kSleepGap{2};

class Schedule {
public:
    // `promptBeforeBackup` is the live program-wide flag, set off for the
    // length of every scheduled run.
    Schedule(ScheduleHost& host, ReadProjectsFn readProjects, bool& promptBeforeBackup);

    // Re-reads every project's schedule, in one read, marks the tray items,
    // replaces the table and enables the timer when any project is scheduled.
    void RebuildSchedule();
    // Timer1Timer: runs each entry that is due, in table order.
    void Timer1Timer();
    // The main window closes.
    void StopTimer();

    // Missed backups (IsBackupMissed) are made up once each, when on: at the
    // next tick after RunMissedBackups and after every gap between ticks
    // longer than kSleepGap.
    void SetMissedBackups(bool on) { missedBackups_ = on; }
    void RunMissedBackups();

    const std::vector<ScheduleEntry>& Entries() const { return entries_; }
    // When the table runs the project next; none when it holds no entry for
    // it or the entry never falls due.
    std::optional<LocalDateTime> NextRun(const std::string& project) const;
    bool TimerEnabled() const { return timerEnabled_; }

private:
    void LoadScheduleEntries(const std::vector<ProjectRecord>& projects);
    void SetTimer(bool enabled);
    // The stored project of the table's entry: from the catch-up's one read
    // of the table's projects, or read anew when a rebuild has replaced the
    // table since.
    ProjectRecord StoredProject(const std::vector<ProjectRecord>& read, std::size_t entry) const;
    // Runs one due entry's backup; false when its ending ends the tick.
    bool RunEntry(const std::string& project);

    ScheduleHost& host_;
    ReadProjectsFn readProjects_;
    bool& promptBeforeBackup_;
    std::vector<ScheduleEntry> entries_;
    bool missedBackups_ = false;
    bool timerEnabled_ = false;
    bool ticking_ = false;
    bool catchUpPending_ = false;
    std::optional<LocalDateTime> previousTick_;
};

} // namespace mzb
