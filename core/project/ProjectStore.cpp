#include "core/project/ProjectStore.h"

#include "core/project/ProjectKeys.h"
#include "core/project/ProjectName.h"
#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <stdexcept>

namespace mzb {
namespace {

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

std::string Numbered(std::string_view prefix, std::size_t index) {
    return std::string(prefix) + std::to_string(index);
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
    return ReadProjects({name}).front();
}

std::vector<ProjectRecord> ProjectStore::ReadProjects(const std::vector<std::string>& names) const {
    const ProfileText t = ProfileFile(iniPath_).Read();
    std::vector<ProjectRecord> projects(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        projects[i].Name = names[i];
        ReadProjectKeys(t, names[i], projects[i]);
    }
    return projects;
}

void ProjectStore::WriteProject(const std::string& name, const ProjectRecord& record) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { WriteProjectKeys(t, name, record, KeyWriter::Editor); });
}

void ProjectStore::DeleteProject(const std::string& name,
                                 const std::vector<std::string>& remaining) const {
    CheckWritableName(name);
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        t.EraseSection(name);
        WriteNamesTo(t, remaining);
    });
}

std::optional<LocalDateTime> ProjectStore::ReadLastBackup(const std::string& name) const {
    ProjectRecord r;
    ReadProjectKey(ProfileFile(iniPath_).Read(), name, KeyOf(&ProjectRecord::LastBackup), r);
    return r.LastBackup;
}

void ProjectStore::WriteBackupEnd(const std::string& name, std::optional<int> counter,
                                  LocalDateTime completed) const {
    CheckWritableName(name);
    ProjectRecord r;
    r.LastBackup = completed;
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        if (!t.HasSection(name)) {
            throw EProjectGone(name, iniPath_);
        }
        if (counter) {
            r.Value = *counter;
            WriteProjectKey(t, name, r, KeyOf(&ProjectRecord::Value));
        }
        WriteProjectKey(t, name, r, KeyOf(&ProjectRecord::LastBackup));
    });
}

std::vector<std::string> ProjectStore::ReadRemotePending(const std::string& name) const {
    ProjectRecord r;
    ReadProjectKey(ProfileFile(iniPath_).Read(), name, KeyOf(&ProjectRecord::RemotePending), r);
    return r.RemotePending;
}

void ProjectStore::WriteRemotePending(const std::string& name,
                                      const std::vector<std::string>& paths) const {
    CheckWritableName(name);
    ProjectRecord r;
    r.RemotePending = paths;
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { WriteProjectKey(t, name, r, KeyOf(&ProjectRecord::RemotePending)); });
}

StoredSchedule ProjectStore::ReadSchedule(const std::string& name) const {
    ProjectRecord r;
    ReadProjectKeys(ProfileFile(iniPath_).Read(), name, KeyWriter::Schedule, r);
    return r.ScheduleValues();
}

void ProjectStore::WriteSchedule(const std::string& name, const StoredSchedule& schedule) const {
    CheckWritableName(name);
    ProjectRecord r;
    r.SetScheduleValues(schedule);
    ProfileFile(iniPath_).Update(
        [&](ProfileText& t) { WriteProjectKeys(t, name, r, KeyWriter::Schedule); });
}

bool ProjectStore::IsScheduleEnabled(const std::string& name) const {
    ProjectRecord r;
    ReadProjectKey(ProfileFile(iniPath_).Read(), name, KeyOf(&ProjectRecord::IsEnabledAutoBack), r);
    return r.IsEnabledAutoBack;
}

void ProjectStore::CopySchedule(const std::string& oldName, const std::string& newName) const {
    CheckWritableName(newName);
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        ProjectRecord r;
        ReadProjectKeys(t, oldName, KeyWriter::Schedule, r);
        WriteProjectKeys(t, newName, r, KeyWriter::Schedule);
    });
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
    constexpr KeyWriter kWriteOrder[] = {KeyWriter::Schedule, KeyWriter::Editor, KeyWriter::Run};
    ProfileFile(iniPath_).Update([&](ProfileText& t) {
        t.WriteString(kCommon, kLastProject, newName);
        t.WriteString(kCommon, Numbered(kCountPrefix, static_cast<std::size_t>(position)), newName);
        // The keys the editor does not write move with the project. Read
        // before the erase, so that names that are one section (equal but
        // for case) keep them.
        ProjectRecord renamed = editorValues;
        for (const KeyWriter writer : kWriteOrder) {
            if (writer != KeyWriter::Editor) {
                ReadProjectKeys(t, oldName, writer, renamed);
            }
        }
        t.EraseSection(oldName);
        for (const KeyWriter writer : kWriteOrder) {
            WriteProjectKeys(t, newName, renamed, writer);
        }
    });
}

} // namespace mzb
