#include "core/schedule/StaleBackup.h"

namespace mzb {

bool IsBackupStale(int warnAfterDays, std::optional<LocalDateTime> lastBackup, LocalDateTime now) {
    if (warnAfterDays <= 0) {
        return false;
    }
    return !lastBackup ||
           now.Ms() - lastBackup->Ms() > int64_t(warnAfterDays) * LocalDateTime::kMsPerDay;
}

bool IsBackupStale(const ProjectRecord& project, LocalDateTime now) {
    return IsBackupStale(project.WarnAfterDays, project.LastBackup, now);
}

std::string StaleBackupText(const ProjectRecord& project, LocalDateTime now) {
    if (!IsBackupStale(project, now)) {
        return {};
    }
    const std::string days = std::to_string(project.WarnAfterDays);
    if (!project.LastBackup) {
        return "Project '" + project.Name + "' has never been backed up (the warning comes after " +
               days + (project.WarnAfterDays == 1 ? " day)." : " days).");
    }
    const int64_t since = (now.Ms() - project.LastBackup->Ms()) / LocalDateTime::kMsPerDay;
    return "No backup of project '" + project.Name + "' for " + std::to_string(since) +
           " days (the warning comes after " + days + ").";
}

std::string StaleProjectsText(const std::vector<ProjectRecord>& projects, LocalDateTime now) {
    std::string text;
    for (const ProjectRecord& p : projects) {
        if (!IsBackupStale(p, now)) {
            continue;
        }
        text += text.empty() ? "No recent backup: '" : ", '";
        text += p.Name + "' (";
        text += p.LastBackup
                    ? std::to_string((now.Ms() - p.LastBackup->Ms()) / LocalDateTime::kMsPerDay) +
                          " days)"
                    : "never)";
    }
    return text.empty() ? text : text + ".";
}

} // namespace mzb
