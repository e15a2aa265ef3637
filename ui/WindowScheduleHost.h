#pragma once
// The schedule's view of the main window: the project selector, the states
// of Save Project and Start Backup, the editor's loading, the backup, the
// one-minute timer and the tray marks.

#include "core/schedule/ScheduleHost.h"

#include <functional>

namespace mzb {

class TFormMain;

class WindowScheduleHost : public ScheduleHost {
public:
    explicit WindowScheduleHost(TFormMain& form) : form_(form) {}

    LocalDateTime Now() override { return clock_ ? clock_() : LocalDateTime::Now(); }
    std::vector<std::string> ProjectNames() override;
    bool IsSaveEnabled() override;
    bool IsStartEnabled() override;
    bool SelectProject(const std::string& name) override;
    void LoadSelectedProject() override;
    StoredBackupResult StartBackup() override;
    void TellUnattendedProblem(const std::string& project, StoredBackupResult result) override;
    void SetTimerEnabled(bool enabled) override;
    void SetTrayMarks(const std::vector<bool>& marks) override;

    // The schedule's clock; an empty one is the local clock.
    void SetClock(std::function<LocalDateTime()> clock) { clock_ = std::move(clock); }

private:
    TFormMain& form_;
    std::function<LocalDateTime()> clock_;
};

} // namespace mzb
