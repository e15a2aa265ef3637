#include "core/project/ProjectStore.h"

#include "core/base/DateText.h"
#include "core/project/PasswordScramble.h"
#include "core/project/ProjectName.h"
#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"
#include "platform/KnownDirectories.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <stdexcept>

namespace mzb {
namespace {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

constexpr std::string_view kCommon = kCommonSection;
constexpr std::string_view kProjectCount = "Project Count";
constexpr std::string_view kCountPrefix = "Count";
constexpr std::string_view kLastProject = "Last Project";
constexpr std::string_view kByField = "By Field";
constexpr std::string_view kSort = "Sort";
constexpr std::string_view kAutoRun = "Auto Run";
constexpr std::string_view kIsMinimized = "Is Minimized";
constexpr std::string_view kIsAppend0 = "Is Append 0";
constexpr std::string_view kWidth = "Width";
constexpr std::string_view kIsOverWrite = "IsOverWrite";
constexpr std::string_view kPromptBeforeBackup = "PromptBeforeBackup";
constexpr std::string_view kRunMissedBackups = "Run Missed Backups";

constexpr std::string_view kFilenamePrefix = "Filename prefix";
constexpr std::string_view kUseDate = "Whether use Date";
constexpr std::string_view kIncreaseValue = "Increase Value";
constexpr std::string_view kValue = "Value";
constexpr std::string_view kSavePath = "Save Path";
constexpr std::string_view kBackupCount = "Backup Directory Count";
constexpr std::string_view kBackupPrefix = "Backup";
constexpr std::string_view kNoBackupCount = "No Backup Directory Count";
constexpr std::string_view kNoBackupPrefix = "NoBackup";
constexpr std::string_view kIncludeSubdirectory = "Whether include Subdirectory";
constexpr std::string_view kUsePassword = "Whether password Project";
constexpr std::string_view kPassword = "Password";
constexpr std::string_view kStorePath = "Whether store path in Zip";
constexpr std::string_view kStoreComment = "Whether store comment in Zip";
constexpr std::string_view kComment = "Comment";
constexpr std::string_view kIsEnabledAutoBack = "IsEnabledAutoBack";
constexpr std::string_view kBackupMode = "BackupMode";
constexpr std::string_view kStartTime = "StartTime_or_Increase";
constexpr std::string_view kLastBackup = "Last Backup";

constexpr int kMinIncrease = 1;
constexpr int kMaxIncrease = 1000;

std::string Numbered(std::string_view prefix, std::size_t index) {
    return std::string(prefix) + std::to_string(index);
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

void CheckWritableName(const std::string& name) {
    if (auto problem = ProjectNameProblem(name)) {
        throw std::invalid_argument("Cannot store the project \"" + name + "\": " + *problem);
    }
    if (TrimBlanks(name).size() != name.size()) {
        throw std::invalid_argument("Cannot store the project \"" + name +
                                    "\": the name has blanks at its ends.");
    }
}

void AppendList(KeyValues& out, std::string_view countKey, std::string_view prefix,
                const std::vector<std::string>& items) {
    out.emplace_back(countKey, std::to_string(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        out.emplace_back(Numbered(prefix, i), items[i]);
    }
}

// The keys WriteProject writes, in its order, with the password and the
// comment as the caller wants them shown or stored.
KeyValues ProjectKeys(const ProjectRecord& r, const std::string& password,
                      const std::string& comment) {
    KeyValues out;
    out.emplace_back(kFilenamePrefix, r.FilenamePrefix);
    out.emplace_back(kUseDate, Flag(r.UseDate));
    out.emplace_back(kIncreaseValue, std::to_string(r.IncreaseValue));
    out.emplace_back(kValue, std::to_string(r.Value));
    out.emplace_back(kSavePath, r.SavePath);
    AppendList(out, kBackupCount, kBackupPrefix, r.BackupItems);
    AppendList(out, kNoBackupCount, kNoBackupPrefix, r.NoBackupItems);
    out.emplace_back(kIncludeSubdirectory, Flag(r.IncludeSubdirectories));
    out.emplace_back(kUsePassword, Flag(r.UsePassword));
    out.emplace_back(kPassword, password);
    out.emplace_back(kStorePath, Flag(r.StorePaths));
    out.emplace_back(kStoreComment, Flag(r.StoreComment));
    out.emplace_back(kComment, comment);
    return out;
}

void WriteProjectTo(ProfileText& t, const std::string& name, const ProjectRecord& r) {
    const bool keepPassword = r.UsePassword && !TrimBlanks(r.Password).empty();
    const bool keepComment = r.StoreComment && !TrimBlanks(r.Comment).empty();
    const KeyValues keys = ProjectKeys(r, keepPassword ? EncodePassword(r.Password, name) : "",
                                       keepComment ? r.Comment : "");
    for (const auto& [key, value] : keys) {
        t.WriteString(name, key, value);
    }
}

StoredSchedule ReadScheduleFrom(const ProfileText& t, const std::string& name) {
    StoredSchedule s;
    s.IsEnabledAutoBack = t.ReadBool(name, kIsEnabledAutoBack, false);
    // A kind this program never writes is kept as read: the schedule gives
    // it an entry that never falls due, rather than a daily backup nobody set.
    s.BackupMode = t.ReadInteger(name, kBackupMode, 0);
    s.StartTime_or_Increase = t.ReadString(name, kStartTime, "");
    return s;
}

void WriteScheduleTo(ProfileText& t, const std::string& name, const StoredSchedule& s) {
    t.WriteBool(name, kIsEnabledAutoBack, s.IsEnabledAutoBack);
    t.WriteInteger(name, kBackupMode, s.BackupMode);
    t.WriteString(name, kStartTime, s.StartTime_or_Increase);
}

std::vector<std::string> ReadNamesFrom(const ProfileText& t) {
    std::vector<std::string> names =
        t.ReadNumberedList(kCommon, kCountPrefix, t.ReadInteger(kCommon, kProjectCount, 0));
    SortProjectNames(names);
    return names;
}

void WriteNamesTo(ProfileText& t, const std::vector<std::string>& names) {
    t.WriteInteger(kCommon, kProjectCount, static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        t.WriteString(kCommon, Numbered(kCountPrefix, i), names[i]);
    }
}

int InRangeOrDefault(int value, int low, int high, int fallback) {
    return value < low || value > high ? fallback : value;
}

} // namespace

KeyedLock ProjectStore::TryLockBackup(const std::string& name) const {
    std::string key(TrimBlanks(name));
    std::transform(key.begin(), key.end(), key.begin(), FoldAsciiCase);
    // Where no lock file can be made beside project.ini, project.ini itself
    // is updated in place, and carries the keys too.
    return KeyedLock::TryAcquire(iniPath_ + ".backup.lock", key, iniPath_);
}

ProjectStore ProjectStore::InProgramDirectory(const std::string& programDirectory) {
    return ProjectStore(programDirectory + "project.ini");
}

CommonSettings ProjectStore::ReadCommonSettings() const {
    const ProfileText t = ProfileFile(iniPath_).Read();
    CommonSettings c;
    c.ProjectNames = ReadNamesFrom(t);
    c.LastProject = t.ReadString(kCommon, kLastProject, "");
    // A number outside the three sort keys leaves the list sorted by name;
    // text that is no number reads as the default, by date.
    c.ByField = InRangeOrDefault(t.ReadInteger(kCommon, kByField, kSortByDate), kSortByName,
                                 kSortByDate, kSortByName);
    c.Sort = InRangeOrDefault(t.ReadInteger(kCommon, kSort, kSortAscending), kSortAscending,
                              kSortDescending, kSortAscending);
    c.AutoRun = t.ReadBool(kCommon, kAutoRun, false);
    c.IsMinimized = t.ReadBool(kCommon, kIsMinimized, false);
    c.IsAppend0 = t.ReadBool(kCommon, kIsAppend0, false);
    // As stored: only the preferences field keeps to its range, and naming
    // pads to a width below it too.
    c.Width = t.ReadInteger(kCommon, kWidth, kMinWidth);
    c.IsOverWrite = t.ReadBool(kCommon, kIsOverWrite, false);
    c.PromptBeforeBackup = t.ReadBool(kCommon, kPromptBeforeBackup, false);
    c.RunMissedBackups = t.ReadBool(kCommon, kRunMissedBackups, false);
    return c;
}

std::vector<std::string> ProjectStore::ReadProjectNames() const {
    return ReadNamesFrom(ProfileFile(iniPath_).Read());
}

void ProjectStore::WriteProjectNames(const std::vector<std::string>& names) const {
    ProfileFile(iniPath_).Update([&](ProfileText& t) { WriteNamesTo(t, names); });
}

void ProjectStore::WriteLastProject(const std::string& name) const {
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { t.WriteString(kCommon, kLastProject, name); });
}

ProjectRecord ProjectStore::ReadProject(const std::string& name) const {
    const ProfileText t = ProfileFile(iniPath_).Read();
    const std::string home = HomeDirectory();
    ProjectRecord r;
    r.Name = name;
    r.FilenamePrefix = t.ReadString(name, kFilenamePrefix, "");
    r.UseDate = t.ReadBool(name, kUseDate, true);
    r.IncreaseValue =
        std::clamp(t.ReadInteger(name, kIncreaseValue, kMinIncrease), kMinIncrease, kMaxIncrease);
    r.Value = t.ReadInteger(name, kValue, 1);
    r.SavePath = t.ReadString(name, kSavePath, home);
    // The program never stores an empty directory; a hand-edited one must
    // not send archives to the root.
    if (TrimBlanks(r.SavePath).empty()) {
        r.SavePath = home;
    }
    r.BackupItems = t.ReadNumberedList(name, kBackupPrefix, t.ReadInteger(name, kBackupCount, 0));
    r.NoBackupItems =
        t.ReadNumberedList(name, kNoBackupPrefix, t.ReadInteger(name, kNoBackupCount, 0));
    r.IncludeSubdirectories = t.ReadBool(name, kIncludeSubdirectory, true);
    r.UsePassword = t.ReadBool(name, kUsePassword, true);
    const std::string stored = t.ReadString(name, kPassword, "");
    r.Password = r.UsePassword && !stored.empty() ? DecodePassword(stored, name) : "";
    r.StorePaths = t.ReadBool(name, kStorePath, true);
    r.StoreComment = t.ReadBool(name, kStoreComment, true);
    r.Comment = t.ReadString(name, kComment, "");
    const StoredSchedule s = ReadScheduleFrom(t, name);
    r.IsEnabledAutoBack = s.IsEnabledAutoBack;
    r.BackupMode = s.BackupMode;
    r.StartTime_or_Increase = s.StartTime_or_Increase;
    return r;
}

void ProjectStore::WriteProject(const std::string& name, const ProjectRecord& record) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update([&](ProfileText& t) { WriteProjectTo(t, name, record); });
}

void ProjectStore::EraseProject(const std::string& name) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update([&](ProfileText& t) { t.EraseSection(name); });
}

void ProjectStore::WriteCounter(const std::string& name, int value) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update([&](ProfileText& t) { t.WriteInteger(name, kValue, value); });
}

std::optional<LocalDateTime> ProjectStore::ReadLastBackup(const std::string& name) const {
    return ParseDateTime(ProfileFile(iniPath_).Read().ReadString(name, kLastBackup, ""));
}

void ProjectStore::WriteLastBackup(const std::string& name, LocalDateTime completed) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { t.WriteString(name, kLastBackup, FormatDateTime(completed)); });
}

StoredSchedule ProjectStore::ReadSchedule(const std::string& name) const {
    return ReadScheduleFrom(ProfileFile(iniPath_).Read(), name);
}

void ProjectStore::WriteSchedule(const std::string& name, const StoredSchedule& schedule) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update([&](ProfileText& t) { WriteScheduleTo(t, name, schedule); });
}

bool ProjectStore::IsScheduleEnabled(const std::string& name) const {
    return ProfileFile(iniPath_).Read().ReadBool(name, kIsEnabledAutoBack, false);
}

void ProjectStore::CopySchedule(const std::string& oldName, const std::string& newName) const {
    CheckWritableName(newName);
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { WriteScheduleTo(t, newName, ReadScheduleFrom(t, oldName)); });
}

void ProjectStore::WritePreferences(const CommonSettings& c) const {
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        t.WriteBool(kCommon, kAutoRun, c.AutoRun);
        t.WriteBool(kCommon, kIsMinimized, c.IsMinimized);
        t.WriteBool(kCommon, kIsAppend0, c.IsAppend0);
        t.WriteInteger(kCommon, kWidth, c.Width);
        t.WriteBool(kCommon, kIsOverWrite, c.IsOverWrite);
        t.WriteBool(kCommon, kRunMissedBackups, c.RunMissedBackups);
    });
}

void ProjectStore::WriteExitState(const CommonSettings& c) const {
    if (c.ProjectNames.empty()) {
        return;
    }
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        t.WriteBool(kCommon, kPromptBeforeBackup, c.PromptBeforeBackup);
        t.WriteString(kCommon, kLastProject, c.LastProject);
        WriteNamesTo(t, c.ProjectNames);
        t.WriteInteger(kCommon, kByField, c.ByField);
        t.WriteInteger(kCommon, kSort, c.Sort);
    });
}

void ProjectStore::RenameProject(const std::string& oldName, const std::string& newName,
                                 int position, const ProjectRecord& editorValues) const {
    CheckWritableName(oldName);
    CheckWritableName(newName);
    if (position < 0) {
        throw std::invalid_argument("a list position cannot be negative");
    }
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        t.WriteString(kCommon, kLastProject, newName);
        t.WriteString(kCommon, Numbered(kCountPrefix, static_cast<std::size_t>(position)), newName);
        // Read before the erase, so that names that are one section (equal
        // but for case) keep the schedule.
        const StoredSchedule schedule = ReadScheduleFrom(t, oldName);
        const std::string lastBackup = t.ReadString(oldName, kLastBackup, "");
        t.EraseSection(oldName);
        WriteScheduleTo(t, newName, schedule);
        WriteProjectTo(t, newName, editorValues);
        if (!lastBackup.empty()) {
            t.WriteString(newName, kLastBackup, lastBackup);
        }
    });
}

std::vector<std::pair<std::string, std::string>> ProjectKeyValues(const ProjectRecord& record) {
    KeyValues out = ProjectKeys(record, record.Password, record.Comment);
    out.emplace_back(kIsEnabledAutoBack, Flag(record.IsEnabledAutoBack));
    out.emplace_back(kBackupMode, std::to_string(record.BackupMode));
    out.emplace_back(kStartTime, record.StartTime_or_Increase);
    return out;
}

} // namespace mzb
