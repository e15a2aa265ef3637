#include "core/editor/ControlStates.h"

namespace mzb {

ControlStates EnabledControls(const WindowActivity& activity) {
    ControlStates s;
    if (activity.Running) {
        // Everything a run depends on stays as the run found it: the project
        // shown, the list, the settings, the folders and the archives.
        s.CancelRun = true;
        return s;
    }
    const bool view = !activity.Editing;
    s.ProjectSelector = view;
    s.RenameProject = view;
    s.NewProject = view;
    s.EditProject = view;
    s.DeleteProject = view;
    s.StartBackup = view;
    s.StartRestore = view;
    s.Preferences = view;
    s.SaveProject = activity.Editing;
    s.CancelEdit = activity.Editing;
    s.Pages = true;
    // The tray loads its project over an unsaved edit, as the user chose;
    // the schedule waits until the edit is saved or cancelled. Neither
    // starts under an open question: both select their project first, and
    // the command that asked would go on, once answered, with another
    // project shown (Delete would delete that one).
    s.TrayBackupMenu = !activity.QuestionOpen;
    s.ScheduledBackups = view && !activity.QuestionOpen;
    return s;
}

} // namespace mzb
