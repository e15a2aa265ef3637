#pragma once
// One restore of the archive in the archive list's current row into the
// chosen directory, without the window: the question, the reader's
// settings, the lock, the progress, the wrong-password handling and the
// result report.

#include "core/base/RunHost.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mzb {

enum class RestoreOverwrite { Prompt, Always, Never, IfNewer, IfOlder };

// The Restore page's controls that a restore reads.
struct RestoreEditor {
    std::string ArchiveCell; // column 0 of the archive list's current row
    std::string FolderText;  // DirectoryView; trimmed in place by the run
    // DirectoryRestore, taken as typed; blank restores every file to where
    // it came from.
    std::string DestDir;
    std::string Password;       // EditRestorePassword
    bool UseFolderNames = true; // CheckBoxUseFolder
    // The checked radio button; none keeps the previous run's mode.
    std::optional<RestoreOverwrite> Overwrite = RestoreOverwrite::Prompt;
    std::string ProjectText; // comboProject, read when the run ends
    // Stored names (directory + file name) of the entries to restore; empty
    // restores the whole archive.
    std::vector<std::string> ChosenEntries;
};

// The reader settings of one run.
struct RestoreJob {
    std::string ZipName;
    std::string DestDir;
    bool RecreateDirs = true;
    bool DoAll = true;
    // The reader's patterns when DoAll is off: each matches one stored name.
    std::vector<std::string> FilesList;
    std::optional<RestoreOverwrite> Overwrite;
    // Only a password that is not blank, and then as typed; without one the
    // reader keeps the password of an earlier run.
    std::optional<std::string> Password;

    bool operator==(const RestoreJob&) const = default;
};

// The archive path of the folder and the file name.
std::string RestoreArchivePath(const std::string& folder, const std::string& fileName);
RestoreJob MakeRestoreJob(const RestoreEditor& editor);
// A pattern of the reader's wildcard rules that matches exactly this stored
// name: its wildcard characters stand in sets of their own.
std::string ExactNamePattern(const std::string& storedName);
// The deepest folder that holds both folders (each ending in '/').
std::string CommonFolder(const std::string& a, const std::string& b);
// The second question before a restore into the original places.
std::string OriginalPlacesQuestion(const std::string& folder);

struct RestoreReaderEvents {
    std::function<void(int percent)> OnTotalPercentDone;
    // An encrypted entry failed the password check. The handler never gives
    // a new password; it may raise the silent abort.
    std::function<void(int fileIndex)> OnBadPassword;
    // An entry that was not restored for a reason other than the overwrite
    // mode: a bad CRC, a failed password, an unsafe name, an output file that
    // could not be made. May come more than once for one entry.
    std::function<void(int fileIndex)> OnEntryNotRestored;
    // Fired at the end of every run, also one that ends with an error.
    std::function<void(int fileCount)> OnUnZipComplete;
};

// The long-lived archive reader, seen from the run. Failures are raised.
class RestoreReader {
public:
    virtual ~RestoreReader() = default;
    virtual void Apply(const RestoreJob& job) = 0;
    // After Apply with a blank destination: the folder that holds every
    // place the chosen entries go back to.
    virtual std::string OriginalPlacesFolder() = 0;
    virtual void RunUnZip(const RestoreReaderEvents& events) = 0;
};

enum class RestoreOutcome {
    NoArchive, // the current row names no archive
    Declined,  // No to a question
    Succeeded, // "Restore Files Succeeds!" was shown
    Failed,    // "Restore files fails!" was shown
};

inline constexpr const char* kRestoreFailedText = "Restore files fails!";

std::string RestoreSuccessText(const std::string& projectText, const std::string& archivePath);
// The failure report; entries lost for reasons other than the overwrite mode
// add a line with their count.
std::string RestoreFailureText(std::size_t entriesNotRestored);

// The restore command of the window. The restore-failed flag lives as long
// as the window, as the reader does.
class RestoreRun {
public:
    // An error of the reader is raised after the failure report, with the
    // lock released and the progress bar reset.
    RestoreOutcome Run(RestoreEditor& editor, RestoreReader& reader, RunHost& host);

private:
    bool restoreFailed_ = false;
};

} // namespace mzb
