#include "tools/mzb/ScheduleCommands.h"

#include "core/DateText.h"
#include "core/ProjectStore.h"
#include "core/Schedule.h"
#include "tools/mzb/ProjectCommands.h"

#include <cstdio>

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
    bool StartBackup() override { return false; }
    void SetTimerEnabled(bool) override {}
    void SetTrayMarks(const std::vector<bool>&) override {}

private:
    LocalDateTime now_;
    std::vector<std::string> projects_;
};

} // namespace

int RunScheduleTable(const GlobalOptions& options, const Args& args) {
    LocalDateTime now = LocalDateTime::Now();
    if (args.size() == 2 && args[0] == "--now") {
        const auto given = ParseDateTime(args[1]);
        if (!given) {
            return UsageError("--now takes \"YYYY-MM-DD HH:MM:SS\", not " + args[1]);
        }
        now = *given;
    } else if (!args.empty()) {
        return UsageError("usage: mzb [--ini FILE] schedule [--now \"YYYY-MM-DD HH:MM:SS\"]");
    }
    const ProjectStore store = StoreFor(options);
    CommonSettings common = store.ReadCommonSettings();
    TableHost host(now, common.ProjectNames);
    Schedule schedule(
        host, [&](const std::string& name) { return store.ReadSchedule(name); },
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
