#include "core/schedule/BackupStatusText.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

const LocalDateTime kNow = LocalDateTime::Make(2026, 3, 14, 9, 26, 53);

TEST(BackupStatusText, TimesNearNowAreNamedByTheirDay) {
    EXPECT_EQ(WhenText(LocalDateTime::Make(2026, 3, 14, 21, 30, 0), kNow), "today at 21:30:00");
    EXPECT_EQ(WhenText(LocalDateTime::Make(2026, 3, 15, 0, 0, 0), kNow), "tomorrow at 00:00:00");
    EXPECT_EQ(WhenText(LocalDateTime::Make(2026, 3, 13, 23, 59, 59), kNow),
              "yesterday at 23:59:59");
    EXPECT_EQ(WhenText(LocalDateTime::Make(2026, 3, 16, 6, 0, 0), kNow), "2026-03-16 06:00:00");
    EXPECT_EQ(WhenText(LocalDateTime::Make(2025, 3, 14, 9, 0, 0), kNow), "2025-03-14 09:00:00");

    EXPECT_EQ(NextBackupText(std::nullopt, kNow), "Next backup: not scheduled");
    // A daily time already passed today runs at the next tick.
    EXPECT_EQ(NextBackupText(LocalDateTime::Make(2026, 3, 14, 8, 0, 0), kNow),
              "Next backup: due now");
}

TEST(BackupStatusText, LastBackupIsTheLaterOfTheOneSeenAndTheOneStored) {
    const SeenBackup failed{LocalDateTime::Make(2026, 3, 14, 9, 0, 0), StoredBackupResult::Failed};
    EXPECT_EQ(LastBackupText(failed, LocalDateTime::Make(2026, 3, 13, 21, 30, 0), kNow),
              "Last backup: today at 09:00:00, failed");
    // mzb completed one after the window saw its own fail.
    EXPECT_EQ(LastBackupText(failed, LocalDateTime::Make(2026, 3, 14, 9, 15, 0), kNow),
              "Last backup: today at 09:15:00, completed");
    EXPECT_EQ(LastBackupText(std::nullopt, LocalDateTime::Make(2026, 3, 1, 9, 15, 0), kNow),
              "Last backup: 2026-03-01 09:15:00, completed");
    EXPECT_EQ(LastBackupText(std::nullopt, std::nullopt, kNow), "Last backup: never");
}

TEST(BackupStatusText, TrayNamesTheProjectDueFirst) {
    const std::vector<ScheduleEntry> table = {
        {"Never", ScheduleEntry::kNever, {}},
        {"Mail", LocalDateTime::Make(2026, 3, 15, 6, 0, 0), {}},
        {"Docs", LocalDateTime::Make(2026, 3, 14, 21, 30, 0), {}},
    };
    EXPECT_EQ(TrayToolTipText("Backup", table, kNow),
              "Backup\nNext backup: Docs, today at 21:30:00");
    EXPECT_EQ(TrayToolTipText("Backup", {table[0]}, kNow), "Backup\nNo backup scheduled");
    EXPECT_EQ(TrayToolTipText("Backup", {}, kNow), "Backup\nNo backup scheduled");
}

} // namespace
} // namespace mzb
