#pragma once
// Which of the window's commands may be started, from the two things that
// decide it: the editor's state (an unsaved edit) and the run lock (a
// backup or restore under way). Both are combined here and nowhere else, so
// neither can enable what the other disabled, and the end of a run returns
// every control to what the editor's state says.

namespace mzb {

// What the window is doing, as far as its commands care.
struct WindowActivity {
    bool Editing = false; // EditMode: the editor holds unsaved changes
    bool Running = false; // a backup or restore holds the run lock
    // A question or message box waits for the user. It blocks the window's
    // own controls by itself, but not the tray menu or the schedule's timer.
    bool QuestionOpen = false;
};

// The enabled state of every control a command starts from.
struct ControlStates {
    bool ProjectSelector = false; // comboProject
    bool RenameProject = false;   // SpRename
    bool NewProject = false;      // SpNew
    bool EditProject = false;     // SpEdit
    bool DeleteProject = false;   // SpDelete
    bool SaveProject = false;     // SpSave
    bool CancelEdit = false;      // SpCancel
    bool StartBackup = false;     // SpStart
    bool StartRestore = false;    // SpRestore
    bool Preferences = false;     // the program menu's "Preferences..."
    // Both pages with everything on them: the editor's fields and its list
    // buttons, the Restore page's folder browse, archive list and its
    // delete menu.
    bool Pages = false;
    bool TrayBackupMenu = false; // the items of the tray's Backup submenu
    bool CancelRun = false;      // the Cancel button beside the progress bar
    // Not a control: whether the schedule's tick may start its backups.
    bool ScheduledBackups = false;

    bool operator==(const ControlStates&) const = default;
};

ControlStates EnabledControls(const WindowActivity& activity);

} // namespace mzb
