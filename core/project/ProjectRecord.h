#pragma once
// One backup project as held in memory. Each field stands for one key of
// the project's section in project.ini (the lists for their count and
// numbered keys; ProjectKeys.h holds the table), in the order of the keys.
// Each field starts at the value its key reads as when missing, so a
// default record is a project whose section is empty, but for the save
// directory, which then reads as the user's home.

#include "platform/LocalDateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace mzb {

// The schedule keys of one project, as stored: the values the
// schedule save writes and the editor's Save leaves alone.
struct StoredSchedule {
    bool IsEnabledAutoBack = false;
    int BackupMode = 0;                // 0 daily at a time, 1 every N minutes, 2 weekly
    std::string StartTime_or_Increase; // the time, the minutes or the weekday name
    int WarnAfterDays = 0;             // set beside the schedule, saved with it

    bool operator==(const StoredSchedule&) const = default;
};

struct ProjectRecord {
    std::string Name; // the section name and the entry in the project list
    std::string FilenamePrefix;
    bool UseDate = true;   // the suffix is the date and time, else a number
    int IncreaseValue = 1; // 1 to 1000, added to the number after each numbered backup
    int Value = 1;         // the number the last numbered backup used
    std::string SavePath;  // the directory that receives the archives
    std::vector<std::string> BackupItems;
    std::vector<std::string> NoBackupItems;
    bool IncludeSubdirectories = true;
    bool UsePassword = true;
    std::string Password; // plain; only the file holds the scrambled form
    // The cipher (TEncryption): 0 traditional, 1-3 AES-128/192/256.
    int Encryption = 0;
    bool StorePaths = true;
    bool StoreComment = true;
    std::string Comment;
    bool IsEnabledAutoBack = false;
    int BackupMode = 0;
    std::string StartTime_or_Increase;
    // Retention: 0 keeps every archive, 1 the newest KeepLast, 2 the newest
    // of each of the last KeepDaily days, KeepWeekly weeks and KeepMonthly
    // months (core/backup/Retention.h).
    int KeepArchives = 0;
    int KeepLast = 10;
    int KeepDaily = 7;
    int KeepWeekly = 4;
    int KeepMonthly = 12;
    // Each archive is read back and decoded before its backup counts.
    bool VerifyAfterBackup = false;
    // 0: every archive holds every file; 1: differential, each archive
    // holds what changed since the chain's full one (core/backup/Differential.h).
    int BackupType = 0;
    // Days after a differential project's full backup that the next one is full again.
    int FullEvery = 7;
    // Days without a completed backup after which the project is shown as
    // stale; 0 never.
    int WarnAfterDays = 0;
    // When the project's last backup completed, by any front end.
    std::optional<LocalDateTime> LastBackup;
    // The rclone destination each complete archive is copied to; empty for
    // none (core/remote/RemoteSetting.h).
    std::string RemoteCopy;
    // The archives whose remote copy has not arrived yet, oldest first: sent
    // again at the next backup.
    std::vector<std::string> RemotePending;

    StoredSchedule ScheduleValues() const {
        return {IsEnabledAutoBack, BackupMode, StartTime_or_Increase, WarnAfterDays};
    }
    void SetScheduleValues(const StoredSchedule& schedule) {
        IsEnabledAutoBack = schedule.IsEnabledAutoBack;
        BackupMode = schedule.BackupMode;
        StartTime_or_Increase = schedule.StartTime_or_Increase;
        WarnAfterDays = schedule.WarnAfterDays;
    }

    bool operator==(const ProjectRecord&) const = default;
};

} // namespace mzb
