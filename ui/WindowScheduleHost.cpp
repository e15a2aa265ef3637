#include "ui/WindowScheduleHost.h"

#include "ui/TFormMain.h"
#include "ui_TFormMain.h"

namespace mzb {

std::vector<std::string> WindowScheduleHost::ProjectNames() {
    return form_.ProjectNames();
}

bool WindowScheduleHost::IsSaveEnabled() {
    return form_.Controls().SpSave->isEnabled();
}

bool WindowScheduleHost::IsStartEnabled() {
    return EnabledControls(form_.Activity()).ScheduledBackups;
}

bool WindowScheduleHost::SelectProject(const std::string& name) {
    return form_.SelectProject(name);
}

void WindowScheduleHost::LoadSelectedProject() {
    form_.comboProjectChange();
}

StoredBackupResult WindowScheduleHost::StartBackup() {
    // Nothing may leave the timer's handler: the error is shown here.
    try {
        if (const std::optional<BackupOutcome> outcome = form_.SpStartClick()) {
            return ResultOf(*outcome);
        }
    } catch (const std::exception& error) {
        form_.Host().ShowMessage(error.what(), MessageKind::Error);
    }
    return StoredBackupResult::Failed;
}

void WindowScheduleHost::TellUnattendedProblem(const std::string& project,
                                               StoredBackupResult result) {
    form_.NotifyScheduledBackupProblem(project, result);
}

void WindowScheduleHost::SetTimerEnabled(bool enabled) {
    if (enabled) {
        form_.Timer1().start();
    } else {
        form_.Timer1().stop();
    }
}

void WindowScheduleHost::SetTrayMarks(const std::vector<bool>& marks) {
    form_.SetTrayMarks(marks);
}

} // namespace mzb
