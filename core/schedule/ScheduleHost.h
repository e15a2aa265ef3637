#pragma once
// What the schedule needs from the main window and the world: the clock, the
// project list, the run-state queries, the project selection and the backup
// itself. The window implements it; tests fake it with a settable clock.

#include "core/backup/StoredProjectBackup.h"
#include "platform/LocalDateTime.h"

#include <string>
#include <vector>

namespace mzb {

class ScheduleHost {
public:
    virtual ~ScheduleHost() = default;

    virtual LocalDateTime Now() = 0;
    // The names of comboProject, in list order.
    virtual std::vector<std::string> ProjectNames() = 0;
    // SpSave enabled: the editor holds unsaved changes.
    virtual bool IsSaveEnabled() = 0;
    // No backup or restore is running and no question waits for the user
    // (SpStart alone would not show the question).
    virtual bool IsStartEnabled() = 0;
    // Selects the project in comboProject by name, letter case ignored; false
    // (and an empty selection) when no item has that name.
    virtual bool SelectProject(const std::string& name) = 0;
    // comboProjectChange: loads the selected project into the editor.
    virtual void LoadSelectedProject() = 0;
    // SpStartClick: runs the backup of the project in the editor, and tells
    // how it ended; Failed also for a cancelled run. It may raise the error
    // for the host's error report instead.
    virtual StoredBackupResult StartBackup() = 0;
    // An unattended backup of the project ended in a way that is told beside
    // the run's own message, since nobody may be watching; a host without a
    // place for it ignores it.
    virtual void TellUnattendedProblem(const std::string& project, StoredBackupResult result) {
        (void)project;
        (void)result;
    }
    // Timer1 enabled or disabled; enabling restarts its 60-second period.
    virtual void SetTimerEnabled(bool enabled) = 0;
    // The marks of the tray Backup submenu, one per project of ProjectNames.
    virtual void SetTrayMarks(const std::vector<bool>& marks) = 0;
};

} // namespace mzb
