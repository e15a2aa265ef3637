#include "core/schedule/Schedule.h"

#include "core/project/ProjectName.h"
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

// A run that ended with an error (a failed project check, a writer
// failure, a cancel) ends the tick; the entries after it wait for a later
// one.
bool EndsTheTick(StoredBackupResult result) {
    return result == StoredBackupResult::Refused || result == StoredBackupResult::Failed;
}

// Everything but a complete archive (or a No nobody was asked) is told
// beside the run's own message, which closes by itself.
bool IsUnattendedProblem(StoredBackupResult result) {
    return result != StoredBackupResult::Completed && result != StoredBackupResult::Declined;
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

std::vector<bool> ScheduleMarks(const std::vector<ProjectRecord>& projects) {
    std::vector<bool> marks;
    marks.reserve(projects.size());
    for (const ProjectRecord& project : projects) {
        marks.push_back(project.IsEnabledAutoBack);
    }
    return marks;
}

Schedule::Schedule(ScheduleHost& host, ReadProjectsFn readProjects, bool& promptBeforeBackup)
    : host_(host), readProjects_(std::move(readProjects)), promptBeforeBackup_(promptBeforeBackup) {
}

void Schedule::RebuildSchedule() {
    SetTimer(false);
    previousTick_ = host_.Now();
    const std::vector<ProjectRecord> projects = readProjects_(host_.ProjectNames());
    host_.SetTrayMarks(ScheduleMarks(projects));
    LoadScheduleEntries(projects);
    if (!entries_.empty()) {
        SetTimer(true);
    }
}

void Schedule::LoadScheduleEntries(const std::vector<ProjectRecord>& projects) {
    entries_.clear();
    for (const ProjectRecord& project : projects) {
        if (project.IsEnabledAutoBack) {
            entries_.push_back(
                MakeScheduleEntry(project.Name, project.ScheduleValues(), host_.Now()));
        }
    }
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
    const bool catchUp = catchUpPending_ && missedBackups_;
    catchUpPending_ = false;
    ticking_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{ticking_};
    // What each entry's project holds now (its schedule, its last backup),
    // read once for the whole catch-up.
    std::vector<ProjectRecord> stored;
    if (catchUp) {
        std::vector<std::string> names;
        for (const ScheduleEntry& entry : entries_) {
            names.push_back(entry.ProjectName);
        }
        stored = readProjects_(names);
    }
    // By index: a rebuild during a backup replaces the table under us, and
    // its entries are then read one by one.
    for (size_t i = 0; i < entries_.size(); ++i) {
        ScheduleEntry& entry = entries_[i];
        const LocalDateTime now = host_.Now();
        bool missed = false;
        if (catchUp) {
            const ProjectRecord project = StoredProject(stored, i);
            missed = IsBackupMissed(project.ScheduleValues(), project.LastBackup, now);
        }
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

ProjectRecord Schedule::StoredProject(const std::vector<ProjectRecord>& read,
                                      std::size_t entry) const {
    const std::string& name = entries_[entry].ProjectName;
    return entry < read.size() && read[entry].Name == name ? read[entry]
                                                           : readProjects_({name}).front();
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
    const StoredBackupResult result = host_.StartBackup();
    if (IsUnattendedProblem(result)) {
        host_.TellUnattendedProblem(project, result);
    }
    return !EndsTheTick(result);
}

std::optional<LocalDateTime> Schedule::NextRun(const std::string& project) const {
    for (const ScheduleEntry& entry : entries_) {
        if (SameProjectName(entry.ProjectName, project) && entry.NextRun != ScheduleEntry::kNever) {
            return entry.NextRun;
        }
    }
    return std::nullopt;
}

void Schedule::StopTimer() {
    SetTimer(false);
}

void Schedule::SetTimer(bool enabled) {
    timerEnabled_ = enabled;
    host_.SetTimerEnabled(enabled);
}

} // namespace mzb
