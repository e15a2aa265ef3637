#pragma once
// A project that has gone too long without a backup: its "Warn After Days"
// is set and its last completed backup ("Last Backup") is older than that,
// or it has never had one. The window shows it when the project is shown,
// the tray once a day, and `mzb status` marks it.

#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace mzb {

bool IsBackupStale(int warnAfterDays, std::optional<LocalDateTime> lastBackup, LocalDateTime now);
bool IsBackupStale(const ProjectRecord& project, LocalDateTime now);

// "No backup of project 'Docs' for 9 days (the warning comes after 7)." or
// "Project 'Docs' has never been backed up (the warning comes after 7
// days)."; empty when the project is not stale.
std::string StaleBackupText(const ProjectRecord& project, LocalDateTime now);

// The tray's notice: "No recent backup: 'Docs' (9 days), 'Mail' (never).";
// empty when no project is stale.
std::string StaleProjectsText(const std::vector<ProjectRecord>& projects, LocalDateTime now);

} // namespace mzb
