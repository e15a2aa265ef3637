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
    return form_.Controls().SpStart->isEnabled();
}

bool WindowScheduleHost::SelectProject(const std::string& name) {
    return form_.SelectProject(name);
}

void WindowScheduleHost::LoadSelectedProject() {
    form_.comboProjectChange();
}

bool WindowScheduleHost::StartBackup() {
    const std::string project = form_.Controls().comboProject->currentText().toStdString();
    std::optional<BackupOutcome> outcome;
    // Nothing may leave the timer's handler: the error is shown here.
    try {
        outcome = form_.SpStartClick();
    } catch (const std::exception& error) {
        form_.Host().ShowMessage(error.what(), MessageKind::Error);
    }
    // No one may be watching an unattended run: a failure, a refusal and an
    // archive that lacks files are told in the tray as well.
    if (!outcome || (*outcome != BackupOutcome::Completed && *outcome != BackupOutcome::Declined)) {
        form_.NotifyScheduledBackupProblem(project, outcome == BackupOutcome::Incomplete);
    }
    // As without a window, a refused or failed run ends the tick.
    return outcome && *outcome != BackupOutcome::Refused;
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
