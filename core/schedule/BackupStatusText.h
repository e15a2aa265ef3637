#pragma once
// What the main window and the tray tell about backups without opening a
// menu: when the schedule backs a project up next, how and when its last
// backup ended, and the next scheduled backup of all projects. Times near
// now are named by their day ("today at 21:30:00"), others by their date.

#include "core/backup/StoredProjectBackup.h"
#include "core/schedule/Schedule.h"
#include "platform/LocalDateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace mzb {

// A backup this program saw end. One the user declined or canceled is no
// backup that ended: it is not seen.
struct SeenBackup {
    LocalDateTime Ended;
    StoredBackupResult Result = StoredBackupResult::Completed;
};

// "today at 21:30:00", "tomorrow at ...", "yesterday at ...", or the date
// and time.
std::string WhenText(LocalDateTime when, LocalDateTime now);

// "Next backup: today at 21:30:00"; "due now" once the time has come (the
// next tick runs it); "not scheduled" without a time.
std::string NextBackupText(std::optional<LocalDateTime> next, LocalDateTime now);

// "Last backup: today at 20:41:38, completed", from whichever is later: the
// backup seen here or the completion time stored in project.ini (written by
// any front end); "Last backup: never" without either.
std::string LastBackupText(const std::optional<SeenBackup>& seen,
                           std::optional<LocalDateTime> storedCompletion, LocalDateTime now);

// The Schedule tab's lines: the stored completion as LastBackupText words
// it, then "Next run:" of the schedule as saved. A saved schedule that the
// running table does not follow yet (`awaitsApply`) says so.
std::string ScheduleTimesText(std::optional<LocalDateTime> storedCompletion,
                              std::optional<LocalDateTime> next, bool awaitsApply,
                              LocalDateTime now);

// The tray icon's tooltip: the product's name and, on a second line, the
// project the table runs first and when.
std::string TrayToolTipText(const std::string& product, const std::vector<ScheduleEntry>& table,
                            LocalDateTime now);

} // namespace mzb
