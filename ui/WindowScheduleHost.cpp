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
    bool completed = false;
    // Nothing may leave the timer's handler: the error is shown here.
    try {
        completed = form_.SpStartClick();
    } catch (const std::exception& error) {
        form_.Host().ShowMessage(error.what(), MessageKind::Error);
    }
    // No one may be watching an unattended run.
    if (!completed) {
        form_.NotifyScheduledBackupFailed(project);
    }
    return completed;
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
