#include "core/schedule/BackupStatusText.h"

#include "core/base/DateText.h"

#include <algorithm>

namespace mzb {
namespace {

const char* ResultWords(StoredBackupResult result) {
    switch (result) {
    case StoredBackupResult::Completed:
        return "completed";
    case StoredBackupResult::Incomplete:
        return "completed, but files were left out";
    case StoredBackupResult::NothingSaved:
        return "not made: no file could be backed up";
    case StoredBackupResult::Unrecorded:
        return "completed, but its number and time were not stored";
    case StoredBackupResult::Declined:
        return "not made: declined";
    case StoredBackupResult::Refused:
        return "not made: the project check failed";
    case StoredBackupResult::Exists:
        return "not made: the archive already existed";
    case StoredBackupResult::Busy:
        return "not made: another backup of the project was running";
    case StoredBackupResult::Failed:
        return "failed";
    case StoredBackupResult::CopyFailed:
        return "completed, but its remote copy failed";
    }
    return "";
}

std::string NextRunWords(std::optional<LocalDateTime> next, LocalDateTime now) {
    if (!next) {
        return "not scheduled";
    }
    // The timer runs an entry at the first tick after its time.
    return *next <= now ? "due now" : WhenText(*next, now);
}

} // namespace

std::string WhenText(LocalDateTime when, LocalDateTime now) {
    const int64_t days = when.Days() - now.Days();
    const std::string time = FormatLongTime(when);
    switch (days) {
    case -1:
        return "yesterday at " + time;
    case 0:
        return "today at " + time;
    case 1:
        return "tomorrow at " + time;
    default:
        return FormatDateTime(when);
    }
}

std::string NextBackupText(std::optional<LocalDateTime> next, LocalDateTime now) {
    return "Next backup: " + NextRunWords(next, now);
}

std::string LastBackupText(const std::optional<SeenBackup>& seen,
                           std::optional<LocalDateTime> storedCompletion, LocalDateTime now) {
    // Another front end (mzb, a second program folder's window) may have
    // completed one since this program saw its own.
    if (seen && (!storedCompletion || seen->Ended >= *storedCompletion)) {
        return "Last backup: " + WhenText(seen->Ended, now) + ", " + ResultWords(seen->Result);
    }
    if (storedCompletion) {
        return "Last backup: " + WhenText(*storedCompletion, now) + ", " +
               ResultWords(StoredBackupResult::Completed);
    }
    return "Last backup: never";
}

std::string ScheduleTimesText(std::optional<LocalDateTime> storedCompletion,
                              std::optional<LocalDateTime> next, bool awaitsApply,
                              LocalDateTime now) {
    std::string text = LastBackupText(std::nullopt, storedCompletion, now);
    text += "\nNext run: " + NextRunWords(next, now);
    if (awaitsApply) {
        text += " (takes effect with Apply)";
    }
    return text;
}

std::string TrayToolTipText(const std::string& product, const std::vector<ScheduleEntry>& table,
                            LocalDateTime now) {
    const auto first = std::min_element(
        table.begin(), table.end(),
        [](const ScheduleEntry& a, const ScheduleEntry& b) { return a.NextRun < b.NextRun; });
    if (first == table.end() || first->NextRun == ScheduleEntry::kNever) {
        return product + "\nNo backup scheduled";
    }
    return product + "\nNext backup: " + first->ProjectName + ", " +
           NextRunWords(first->NextRun, now);
}

} // namespace mzb
