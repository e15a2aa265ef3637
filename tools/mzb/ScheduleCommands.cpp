#include "tools/mzb/ScheduleCommands.h"

#include "core/backup/ZipWriterBackup.h"
#include "core/base/DateText.h"
#include "core/project/ProjectStore.h"
#include "core/schedule/HeadlessScheduleHost.h"
#include "core/schedule/Schedule.h"
#include "tools/mzb/ConsoleRunHost.h"
#include "tools/mzb/Interrupt.h"
#include "tools/mzb/ProjectCommands.h"
#include "tools/mzb/RunCommands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <thread>

namespace mzb::cli {

namespace {

// The main window's side of the schedule for a table that is only built and
// shown: a fixed clock, the stored project list, nothing running.
class TableHost : public ScheduleHost {
public:
    TableHost(LocalDateTime now, std::vector<std::string> projects)
        : now_(now), projects_(std::move(projects)) {}
    LocalDateTime Now() override { return now_; }
    std::vector<std::string> ProjectNames() override { return projects_; }
    bool IsSaveEnabled() override { return false; }
    bool IsStartEnabled() override { return true; }
    bool SelectProject(const std::string&) override { return false; }
    void LoadSelectedProject() override {}
    StoredBackupResult StartBackup() override { return StoredBackupResult::Failed; }
    void SetTimerEnabled(bool) override {}
    void SetTrayMarks(const std::vector<bool>&) override {}

private:
    LocalDateTime now_;
    std::vector<std::string> projects_;
};

constexpr std::chrono::seconds kTickPeriod{60};
// How soon an interrupt ends the wait between ticks.
constexpr std::chrono::milliseconds kWaitSlice{200};

// False when an interrupt came first.
bool WaitUntil(std::chrono::steady_clock::time_point when) {
    while (!Interrupted()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= when) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(when - now, kWaitSlice));
    }
    return false;
}

// The status of a session of scheduled backups: its worst result.
int ScheduleExitStatus(const std::vector<StoredBackupResult>& results) {
    int status = kExitOk;
    for (const StoredBackupResult r : results) {
        status = std::max(status, BackupExitStatus(r));
    }
    return status;
}

} // namespace

int RunRunSchedule(const GlobalOptions& options, const Args& args) {
    int ticks = -1; // until interrupted
    const bool counted = !args.empty() && args[0] == "--minutes";
    if (counted) {
        const std::string n = args.size() > 1 ? args[1] : "";
        const auto [end, error] = std::from_chars(n.data(), n.data() + n.size(), ticks);
        if (error != std::errc{} || end != n.data() + n.size() || ticks < 1) {
            return UsageError("--minutes takes a whole number of at least 1, not \"" + n + "\"");
        }
    }
    if (const std::size_t used = counted ? 2 : 0; args.size() > used) {
        return UsageError(UnexpectedArgumentError(args[used]));
    }
    const ProjectStore store = StoreFor(options);
    CommonSettings settings = store.ReadCommonSettings();

    CatchInterrupts();
    InterruptibleHost engineHost;
    TZipWriter writer(engineHost);
    engineHost.Serve(writer);
    ZipWriterBackup writerView(writer);
    ConsoleRunHost host;
    StoredProjectBackup backup(store, settings, writerView, host);
    HeadlessScheduleHost scheduleHost(backup, settings, host);
    Schedule schedule(
        scheduleHost,
        [&](const std::vector<std::string>& names) { return store.ReadProjects(names); },
        settings.PromptBeforeBackup);
    schedule.SetMissedBackups(settings.RunMissedBackups);
    schedule.RebuildSchedule();
    if (!schedule.TimerEnabled()) {
        std::fprintf(stderr, "mzb: no project is scheduled\n");
        return kExitOk;
    }
    // The first tick comes at once rather than a minute after the start, so
    // that what is due when the schedule starts runs without waiting.
    auto due = std::chrono::steady_clock::now();
    for (int tick = 0; ticks < 0 || tick < ticks; ++tick) {
        if (tick > 0 && !WaitUntil(due += kTickPeriod)) {
            break;
        }
        if (Interrupted()) {
            break;
        }
        if (tick == 0 && settings.RunMissedBackups) {
            schedule.RunMissedBackups();
        } else {
            schedule.Timer1Timer();
        }
    }
    if (Interrupted()) {
        const auto& results = scheduleHost.Results();
        const bool cutShort = !results.empty() && results.back() == StoredBackupResult::Failed;
        return ReportInterrupted(cutShort ? "the schedule stopped; the backup under way was not "
                                            "made and no partial archive was left"
                                          : "the schedule stopped");
    }
    return ScheduleExitStatus(scheduleHost.Results());
}

int RunScheduleTable(const GlobalOptions& options, const Args& args) {
    LocalDateTime now = LocalDateTime::Now();
    if (!args.empty() && args[0] == "--now") {
        const auto given = args.size() > 1 ? ParseDateTime(args[1]) : std::nullopt;
        if (!given) {
            return UsageError(NowValueError(args, 1));
        }
        now = *given;
    }
    if (const std::size_t used = args.empty() || args[0] != "--now" ? 0 : 2; args.size() > used) {
        return UsageError(UnexpectedArgumentError(args[used]));
    }
    const ProjectStore store = StoreFor(options);
    CommonSettings common = store.ReadCommonSettings();
    TableHost host(now, common.ProjectNames);
    Schedule schedule(
        host, [&](const std::vector<std::string>& names) { return store.ReadProjects(names); },
        common.PromptBeforeBackup);
    schedule.RebuildSchedule();
    for (const ScheduleEntry& e : schedule.Entries()) {
        const std::string next =
            e.NextRun == ScheduleEntry::kNever ? "never" : FormatDateTime(e.NextRun);
        const long long minutes =
            std::chrono::duration_cast<std::chrono::minutes>(e.Interval).count();
        std::printf("%s\t%s\t%lld\n", e.ProjectName.c_str(), next.c_str(), minutes);
    }
    return kExitOk;
}

} // namespace mzb::cli
