#pragma once
// The only reader and writer of project.ini. It holds nothing but the
// file's path: every operation loads the file, reads or writes the keys it
// names, and lets it go, so a read always sees every earlier write. Each
// writing operation is one rewrite of the file; when it fails, it raises
// EProfileWriteError ("Unable to write to <path>") and the file is as it
// was before that operation.
//
// A project's keys are read and written through the table of
// ProjectKeys.h. Names passed in are project names as the project list
// holds them.
// Operations that write or erase a project section refuse a name that
// ProjectNameProblem refuses, or one with blanks at its ends, with
// std::invalid_argument, since such a name would write into another section
// or the settings.

#include "core/project/CommonSettings.h"
#include "core/project/ProjectRecord.h"
#include "platform/KeyedLock.h"
#include "platform/LocalDateTime.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mzb {

// A project that a run was to record in is no longer in project.ini: it
// was deleted while the run went on.
class EProjectGone : public std::runtime_error {
public:
    EProjectGone(const std::string& name, const std::string& iniPath)
        : std::runtime_error("project '" + name + "' is no longer in " + iniPath) {}
};

class ProjectStore {
public:
    explicit ProjectStore(std::string iniPath) : iniPath_(std::move(iniPath)) {}

    // project.ini in the given program directory (with its trailing '/').
    static ProjectStore InProgramDirectory(const std::string& programDirectory);

    const std::string& IniPath() const { return iniPath_; }

    // Every key of "Common", the project list included. A "By Field" number
    // outside 0 to 2 reads as 0 (by name), a "Sort" outside 0 and 1 as 0;
    // "Width" is read as stored.
    CommonSettings ReadCommonSettings() const;
    // Ordered by name without regard to case; empty entries skipped.
    std::vector<std::string> ReadProjectNames() const;

    // "Project Count", then "Count0" onward in list order. Keys beyond the
    // new count stay in the file, unread.
    void WriteProjectNames(const std::vector<std::string>& names) const;
    void WriteLastProject(const std::string& name) const;

    // The defaults of a missing section or key, with the password decoded
    // only when "Whether password Project" is true. An empty "Save Path"
    // reads as the default directory, the user's home.
    ProjectRecord ReadProject(const std::string& name) const;
    // Each named project as ReadProject reads it, in the order given, from
    // one read of the file: what a loop over the projects reads.
    std::vector<ProjectRecord> ReadProjects(const std::vector<std::string>& names) const;
    // Every key of the section except the schedule keys, in the
    // store's key order. The password is stored scrambled under the name,
    // and only when UsePassword is set and it is not blank; the comment only
    // when StoreComment is set and it is not blank.
    void WriteProject(const std::string& name, const ProjectRecord& record) const;
    // Delete Project in one rewrite: the whole section goes, schedule
    // included, and the list becomes `remaining`; a failure leaves both.
    void DeleteProject(const std::string& name, const std::vector<std::string>& remaining) const;

    // "Last Backup": when the project's last backup completed, by any
    // front end; none when it never did or the text is no date and time.
    std::optional<LocalDateTime> ReadLastBackup(const std::string& name) const;
    // What a completed backup leaves in one rewrite: "Value", the number a
    // numbered backup used (when given), and "Last Backup". A project whose
    // section is gone raises EProjectGone and gets nothing, rather than a
    // new section that would list it again with these keys alone.
    void WriteBackupEnd(const std::string& name, std::optional<int> counter,
                        LocalDateTime completed) const;
    // "Remote Pending": the archives whose remote copy is still to be made.
    std::vector<std::string> ReadRemotePending(const std::string& name) const;
    void WriteRemotePending(const std::string& name, const std::vector<std::string>& paths) const;

    StoredSchedule ReadSchedule(const std::string& name) const;
    void WriteSchedule(const std::string& name, const StoredSchedule& schedule) const;
    bool IsScheduleEnabled(const std::string& name) const;
    void CopySchedule(const std::string& oldName, const std::string& newName) const;

    // "Auto Run", "Is Minimized", "Is Append 0", "Width", "IsOverWrite",
    // "Run Missed Backups".
    void WritePreferences(const CommonSettings& settings) const;
    // "PromptBeforeBackup", "Last Project", the list, "By Field", "Sort", in
    // this order; nothing at all when the project list is empty.
    void WriteExitState(const CommonSettings& settings) const;

    // A whole rename in one rewrite: "Last Project" and "Count<position>"
    // get the new name, the schedule moves to the new section, the old
    // section goes, and the editor's values are written under the new name
    // as WriteProject writes them (the password scrambled under the new
    // name). Done as one rewrite, a failure can never leave the project
    // erased without its new section.
    void RenameProject(const std::string& oldName, const std::string& newName, int position,
                       const ProjectRecord& editorValues) const;

    // The right to back the project up, held for the length of one backup
    // run: not held while another run, in this process or another, holds it
    // for the same project (letter case ignored), since both would write the
    // same archive name, nor when the lock file cannot be had (then with
    // the reason). Released when the result goes.
    KeyedLock TryLockBackup(const std::string& name) const;

private:
    std::string iniPath_;
};

} // namespace mzb
