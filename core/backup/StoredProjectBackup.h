#pragma once
// A backup of a project from project.ini without the window, made the way
// the schedule makes one: select the project, load it as the editor would
// (the number shown is the one after "Value"), then run the backup. Used
// by the command-line tool and the headless schedule.

#include "core/backup/BackupRun.h"

#include <optional>
#include <string>

namespace mzb {

enum class StoredBackupResult {
    Declined,  // No to the confirmation
    Refused,   // a project check failed
    Exists,    // the archive exists and overwriting is off
    Busy,      // another run backs the project up
    Completed, // the archive is written and reported
    // Written and reported, but files or folders were left out.
    Incomplete,
    NothingSaved, // no file could be saved, so no archive was written
    // Written and reported, but its number and time were not stored.
    Unrecorded,
    Failed, // the writer failed or the archive's size could not be read
    // Written and reported, but its remote copy failed; sent again at the
    // next backup.
    CopyFailed,
};

StoredBackupResult ResultOf(BackupOutcome outcome);

class StoredProjectBackup {
public:
    // `settings` is the live program-wide state: its PromptBeforeBackup is
    // read at each run, and its project list is what Select searches.
    StoredProjectBackup(const ProjectStore& store, const CommonSettings& settings,
                        BackupWriter& writer, RunHost& host);

    // The project list's entry of that name, trimmed, letter case ignored; false and
    // nothing selected when the list lacks it.
    bool Select(const std::string& name);
    // Reads the selected project into the editor.
    void Load();
    // Runs the backup of the loaded project. A failure is shown as an error
    // message, as the window's error box would show it.
    StoredBackupResult Start();

    const std::optional<std::string>& Selected() const { return selected_; }
    const BackupEditor& Editor() const { return editor_; }

private:
    const ProjectStore& store_;
    const CommonSettings& settings_;
    BackupWriter& writer_;
    RunHost& host_;
    std::optional<std::string> selected_;
    BackupEditor editor_;
};

} // namespace mzb
