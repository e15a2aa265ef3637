#include "core/schedule/BackupStatusText.h"

#include "core/base/DateText.h"

#include <algorithm>

namespace mzb {
namespace {

const char* ResultWords(BackupResult result) {
    switch (result) {
    case BackupResult::Completed:
        return "completed";
    case BackupResult::Incomplete:
        return "completed, but files were left out";
    case BackupResult::Refused:
        return "not made: the project check failed";
    case BackupResult::Exists:
        return "not made: the archive already existed";
    case BackupResult::Busy:
        return "not made: another backup of the project was running";
    case BackupResult::Canceled:
        return "canceled";
    case BackupResult::Failed:
        return "failed";
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

std::optional<BackupResult> SeenResultOf(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Declined:
        return std::nullopt;
    case BackupOutcome::Refused:
        return BackupResult::Refused;
    case BackupOutcome::Exists:
        return BackupResult::Exists;
    case BackupOutcome::Busy:
        return BackupResult::Busy;
    case BackupOutcome::Completed:
        return BackupResult::Completed;
    case BackupOutcome::Incomplete:
        return BackupResult::Incomplete;
    }
    return std::nullopt;
}

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
               ResultWords(BackupResult::Completed);
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
