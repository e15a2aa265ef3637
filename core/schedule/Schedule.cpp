#include "core/schedule/Schedule.h"

#include "core/schedule/MissedBackup.h"
#include "core/schedule/ScheduleText.h"

#include <charconv>

namespace mzb {

namespace {

using std::chrono::minutes;

constexpr std::chrono::hours kDay{24};

LocalDateTime AtNoon(LocalDateTime day) {
    return day.DatePart() + std::chrono::hours(12);
}

} // namespace

std::chrono::milliseconds EveryMinutesInterval(const std::string& stored) {
    int n = 0;
    const char* end = stored.data() + stored.size();
    const char* first = stored.data();
    if (first != end && *first == '+') {
        ++first;
    }
    const auto [last, error] = std::from_chars(first, end, n);
    // The minutes become a time of day of N div 60 hours and N mod 60 minutes;
    // what is no valid time of day, and the zero interval that would make the
    // entry due at every tick, fall back to an hour.
    if (error != std::errc{} || last != end || n <= 0 || n / 60 > 23) {
        return minutes(60);
    }
    return minutes(n);
}

ScheduleEntry MakeScheduleEntry(const std::string& project, const StoredSchedule& stored,
                                LocalDateTime now) {
    ScheduleEntry entry{project, ScheduleEntry::kNever, std::chrono::milliseconds(0)};
    switch (stored.BackupMode) {
    case static_cast<int>(ScheduleKind::DailyAt): {
        const LocalDateTime time = DailyTimeOrNoon(stored.StartTime_or_Increase);
        entry.NextRun = LocalDateTime::FromMs(now.DatePart().Ms() + time.Ms());
        entry.Interval = kDay;
        break;
    }
    case static_cast<int>(ScheduleKind::EveryMinutes):
        entry.Interval = EveryMinutesInterval(stored.StartTime_or_Increase);
        entry.NextRun = now + entry.Interval;
        break;
    case static_cast<int>(ScheduleKind::WeeklyOn): {
        entry.NextRun = AtNoon(now + kDay * 8);
        const int weekday = WeekdayExactly(stored.StartTime_or_Increase);
        for (int ahead = 0; ahead <= 7; ++ahead) {
            const LocalDateTime day = now + kDay * ahead;
            if (day.DayOfWeek() == weekday) {
                entry.NextRun = AtNoon(day);
                break;
            }
        }
        entry.Interval = kDay * 7;
        break;
    }
    default:
        break; // a kind this program never writes: the entry never falls due
    }
    return entry;
}

Schedule::Schedule(ScheduleHost& host, ReadScheduleFn readSchedule, bool& promptBeforeBackup)
    : host_(host), readSchedule_(std::move(readSchedule)), promptBeforeBackup_(promptBeforeBackup) {
}

void Schedule::RebuildSchedule() {
    SetTimer(false);
    previousTick_ = host_.Now();
    const std::vector<std::string> projects = host_.ProjectNames();
    std::vector<StoredSchedule> stored;
    std::vector<bool> marks;
    stored.reserve(projects.size());
    for (const std::string& name : projects) {
        stored.push_back(readSchedule_(name));
        marks.push_back(stored.back().IsEnabledAutoBack);
    }
    host_.SetTrayMarks(marks);
    LoadScheduleEntries(projects, stored);
    if (!entries_.empty()) {
        SetTimer(true);
    }
}

void Schedule::LoadScheduleEntries(const std::vector<std::string>& projects,
                                   const std::vector<StoredSchedule>& stored) {
    entries_.clear();
    for (size_t i = 0; i < projects.size(); ++i) {
        if (stored[i].IsEnabledAutoBack) {
            entries_.push_back(MakeScheduleEntry(projects[i], stored[i], host_.Now()));
        }
    }
}

void Schedule::SetMissedBackups(ReadLastBackupFn readLastBackup) {
    readLastBackup_ = std::move(readLastBackup);
}

void Schedule::RunMissedBackups() {
    catchUpPending_ = true;
    Timer1Timer();
}

void Schedule::Timer1Timer() {
    const LocalDateTime tickTime = host_.Now();
    if (previousTick_ && tickTime > *previousTick_ + kSleepGap) {
        catchUpPending_ = true;
    }
    previousTick_ = tickTime;
    // A tick that arrives while another one waits inside a backup (a
    // project-check message stays open and lets the timer run) does
    // nothing, so scheduled backups never nest.
    if (ticking_ || host_.IsSaveEnabled() || !host_.IsStartEnabled()) {
        return;
    }
    const bool catchUp = catchUpPending_ && readLastBackup_;
    catchUpPending_ = false;
    ticking_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{ticking_};
    // By index: a rebuild during a backup replaces the table under us.
    for (size_t i = 0; i < entries_.size(); ++i) {
        ScheduleEntry& entry = entries_[i];
        const LocalDateTime now = host_.Now();
        const bool missed = catchUp && IsBackupMissed(readSchedule_(entry.ProjectName),
                                                      readLastBackup_(entry.ProjectName), now);
        if (!missed && !(now > entry.NextRun)) {
            continue;
        }
        entry.NextRun = entry.NextRun + entry.Interval;
        // Made up once, however many of its times went by: after a sleep
        // also an entry the table alone found due runs only once.
        while (catchUp && entry.NextRun <= now) {
            entry.NextRun = entry.NextRun + entry.Interval;
        }
        if (!RunEntry(entry.ProjectName)) {
            break;
        }
    }
}

bool Schedule::RunEntry(const std::string& project) {
    if (!host_.SelectProject(project)) {
        return true;
    }
    host_.LoadSelectedProject();
    const bool saved = promptBeforeBackup_;
    promptBeforeBackup_ = false;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{promptBeforeBackup_, saved};
    return host_.StartBackup();
}

void Schedule::StopTimer() {
    SetTimer(false);
}

void Schedule::SetTimer(bool enabled) {
    timerEnabled_ = enabled;
    host_.SetTimerEnabled(enabled);
}

} // namespace mzb
