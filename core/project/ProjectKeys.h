#pragma once
// The keys of a project's section in project.ini, one row each: its name,
// how it is stored and read, what it reads as when it is missing, what a new
// project starts with, which operation writes it, and the ProjectRecord
// member that holds it. ProjectStore reads, writes, renames and lists a
// project only through these rows, so a new project setting is a member, one
// row and its control. A missing key must read as the behaviour from before
// the key existed, so that every project.ini written so far keeps its
// meaning.

#include "core/project/ProjectRecord.h"
#include "platform/ProfileText.h"

#include <climits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace mzb {

// How a key's value is stored and read back.
enum class KeyKind {
    Text,   // the text as it stands
    Folder, // text; missing or blank, it reads as the user's home folder
    Flag,   // "1" or "0"; read as a number, true when not 0
    Number, // decimal, also "0x" hexadecimal on reading; what is read is pulled into Low..High
    List,   // the key holds the count, ListPrefix + "0" onward the entries in order; only
            // indexes below the count are read, and empty entries are skipped
    // Scrambled under the section's name, and stored only when the flag
    // TickedBy is set and the password is not blank; decoded only when that
    // flag reads as set.
    Password,
    // Stored only when the flag TickedBy is set and the text is not blank.
    TickedText,
    Time, // "YYYY-MM-DD HH:MM:SS"; none when missing or no such text, and none writes nothing
};

// The operation that writes a key; every other one leaves it as it is. A
// rename writes the new section in this order: the schedule's keys and the
// run's carried over from the old section as read, the editor's from the
// editor's values.
enum class KeyWriter {
    Schedule, // the schedule save in the preferences window
    Editor,   // the editor's Save
    Run,      // a completed backup
};

using ProjectMember = std::variant<std::string ProjectRecord::*, bool ProjectRecord::*,
                                   int ProjectRecord::*, std::vector<std::string> ProjectRecord::*,
                                   std::optional<LocalDateTime> ProjectRecord::*>;

struct ProjectKey {
    std::string_view Name;
    KeyKind Kind;
    ProjectMember Member;
    // What a missing key reads as, written as the file would hold it.
    std::string_view Missing;
    // A new project's value, where it differs from Missing.
    std::optional<std::string_view> NewProject;
    KeyWriter WrittenBy = KeyWriter::Editor;
    int Low = INT_MIN;                       // Number
    int High = INT_MAX;                      // Number
    std::string_view ListPrefix;             // List
    bool ProjectRecord::*TickedBy = nullptr; // Password, TickedText

    constexpr ProjectKey ForNewProject(std::string_view value) const {
        ProjectKey key = *this;
        key.NewProject = value;
        return key;
    }
    constexpr ProjectKey Writer(KeyWriter writer) const {
        ProjectKey key = *this;
        key.WrittenBy = writer;
        return key;
    }
};

// Every row, in the order the editor's Save writes its keys and a listing
// shows them.
std::span<const ProjectKey> ProjectKeys();

// The row of the key a member holds.
const ProjectKey& KeyOf(const ProjectMember& member);

// Reading fills the record's members from the section of that name, every
// row or only the rows one writer writes; writing puts them into it.
void ReadProjectKeys(const ProfileText& text, const std::string& section, ProjectRecord& record);
void ReadProjectKeys(const ProfileText& text, const std::string& section, KeyWriter writer,
                     ProjectRecord& record);
void ReadProjectKey(const ProfileText& text, const std::string& section, const ProjectKey& key,
                    ProjectRecord& record);
void WriteProjectKeys(ProfileText& text, const std::string& section, const ProjectRecord& record,
                      KeyWriter writer);
void WriteProjectKey(ProfileText& text, const std::string& section, const ProjectRecord& record,
                     const ProjectKey& key);

// A new project's values: each key's value for a new project, or its
// missing value where the table gives none.
ProjectRecord NewProjectRecord();

// The keys of the project's settings (the rows the editor and the schedule
// write) in the table's order, with the values that stand for the record:
// the password plain, the comment whatever its flag. What a listing of the
// project shows.
std::vector<std::pair<std::string, std::string>> ProjectKeyValues(const ProjectRecord& record);

} // namespace mzb
