#pragma once
// The schedule's main window for a machine without a desktop: the project
// list of project.ini, no editor that could hold unsaved changes, and the
// backups of stored projects. The clock and the messages are the run host's.

#include "core/backup/StoredProjectBackup.h"
#include "core/schedule/ScheduleHost.h"

namespace mzb {

class HeadlessScheduleHost : public ScheduleHost {
public:
    HeadlessScheduleHost(StoredProjectBackup& backup, const CommonSettings& settings, RunHost& host)
        : backup_(backup), settings_(settings), host_(host) {}

    LocalDateTime Now() override { return host_.Now(); }
    std::vector<std::string> ProjectNames() override { return settings_.ProjectNames; }
    bool IsSaveEnabled() override { return false; }
    // Backups run to their end inside the tick, so none is ever running
    // when a tick asks.
    bool IsStartEnabled() override { return true; }
    bool SelectProject(const std::string& name) override { return backup_.Select(name); }
    void LoadSelectedProject() override { backup_.Load(); }
    StoredBackupResult StartBackup() override;
    void SetTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
    void SetTrayMarks(const std::vector<bool>&) override {}

    bool TimerEnabled() const { return timerEnabled_; }
    // How every backup started so far ended, in order.
    const std::vector<StoredBackupResult>& Results() const { return results_; }

private:
    StoredProjectBackup& backup_;
    const CommonSettings& settings_;
    RunHost& host_;
    bool timerEnabled_ = false;
    std::vector<StoredBackupResult> results_;
};

} // namespace mzb
