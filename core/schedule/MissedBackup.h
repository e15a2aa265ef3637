#pragma once
// Backups the schedule should have made while the program was not running
// or the computer slept. A project counts as missed when the latest time its
// schedule stood for lies after its last completed backup; however many
// such times passed, it is made up once.

#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <optional>

namespace mzb {

// The latest moment at or before `now` that the schedule names: today's or
// yesterday's daily time, the last noon of the weekday, or for every N
// minutes the end of the first interval after the last backup. None for a
// weekday name the table does not take and a kind this program never writes.
std::optional<LocalDateTime> LastScheduledTime(const StoredSchedule& stored,
                                               std::optional<LocalDateTime> lastBackup,
                                               LocalDateTime now);

// A project never backed up is no missed one: the table's first run (today's
// time once it has passed, the first interval from the start) covers it.
bool IsBackupMissed(const StoredSchedule& stored, std::optional<LocalDateTime> lastBackup,
                    LocalDateTime now);

} // namespace mzb
