#include "tools/mzb/HistoryCommands.h"

#include "core/backup/BackupReport.h"
#include "core/backup/ProjectArchives.h"
#include "core/backup/Pruning.h"
#include "core/base/DateText.h"
#include "core/project/ProjectStore.h"
#include "core/schedule/Schedule.h"
#include "core/schedule/StaleBackup.h"
#include "tools/mzb/ProjectCommands.h"
#include "zip/base/PrintableName.h"

#include <cstdio>

namespace mzb::cli {
namespace {

// Takes "--now TIME" and, where `dryRun` is given, "--dry-run" out of the
// arguments, up to a "--"; false after a usage error, its status set.
bool TakeOptions(Args& args, LocalDateTime& now, bool* dryRun, int& status) {
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + std::ptrdiff_t(i), args.end());
            break;
        }
        if (dryRun && args[i] == "--dry-run") {
            *dryRun = true;
        } else if (args[i] != "--now") {
            rest.push_back(args[i]);
        } else if (const auto given = ++i < args.size() ? ParseDateTime(args[i]) : std::nullopt) {
            now = *given;
        } else {
            status = UsageError(NowValueError(args, i));
            return false;
        }
    }
    args = std::move(rest);
    return true;
}

std::string NextRunText(const ProjectRecord& project, LocalDateTime now) {
    if (!project.IsEnabledAutoBack) {
        return "not scheduled";
    }
    const ScheduleEntry entry = MakeScheduleEntry(project.Name, project.ScheduleValues(), now);
    return entry.NextRun == ScheduleEntry::kNever ? "never" : FormatDateTime(entry.NextRun);
}

} // namespace

int RunPrune(const GlobalOptions& options, const Args& args) {
    LocalDateTime now = LocalDateTime::Now();
    Args rest = args;
    int status = kExitOk;
    bool dry = false;
    if (!TakeOptions(rest, now, &dry, status)) {
        return status;
    }
    const auto project = TakeListedProject(options, rest, status);
    if (!project) {
        return status;
    }
    const ProjectStore& store = project->Store;
    const std::string& name = project->Name;
    // A backup under way would write an archive the rule does not see yet.
    const KeyedLock lock = store.TryLockBackup(name);
    if (!lock) {
        std::fprintf(stderr, "mzb: %s\n",
                     (lock.Result() == KeyedLock::State::HeldElsewhere
                          ? ProjectBusyText(name)
                          : ProjectLockRefusedText(name, lock.Reason()))
                         .c_str());
        return kExitPartial;
    }
    const std::vector<ProjectRecord> projects = store.ReadProjects(store.ReadProjectNames());
    const PruneResult result = PruneProject(store.ReadProject(name), projects, now, "", dry);
    for (const std::string& path : result.Deleted) {
        std::printf("%s\n", PrintableName(path).c_str());
    }
    for (const std::string& failure : result.Failed) {
        std::fprintf(stderr, "mzb: %s\n", PrintableName(failure).c_str());
    }
    return result.Failed.empty() ? kExitOk : kExitPartial;
}

int RunStatus(const GlobalOptions& options, const Args& args) {
    LocalDateTime now = LocalDateTime::Now();
    Args rest = args;
    int status = kExitOk;
    if (!TakeOptions(rest, now, nullptr, status)) {
        return status;
    }
    if (!rest.empty()) {
        return UsageError(UnexpectedArgumentError(rest[0]));
    }
    const ProjectStore store = StoreFor(options);
    const std::vector<ProjectRecord> projects = store.ReadProjects(store.ReadProjectNames());
    for (const ProjectRecord& p : projects) {
        std::uint64_t bytes = 0;
        const std::vector<DatedArchive> archives = FindProjectArchives(p, projects);
        for (const DatedArchive& a : archives) {
            bytes += a.Size;
        }
        std::printf("%s\t%s\t%s\t%s\t%zu\t%llu\t%s\n", PrintableName(p.Name).c_str(),
                    p.LastBackup ? FormatDateTime(*p.LastBackup).c_str() : "never",
                    p.LastBackup ? "completed" : "none", NextRunText(p, now).c_str(),
                    archives.size(), static_cast<unsigned long long>(bytes / 1024),
                    IsBackupStale(p, now) ? "STALE" : "");
    }
    return kExitOk;
}

} // namespace mzb::cli
