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
    return form_.SpStartClick();
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
