#pragma once
// One restore of the archive in the archive list's current row, or of files
// chosen from several archives of its folder, into the chosen directory,
// without the window: the question, the reader's settings, the lock, the
// progress, the wrong-password handling and the result report.

#include "core/base/RunHost.h"
#include "core/restore/ArchiveGroups.h"
#include "core/restore/RestoreReport.h"

#include <functional>
#include <optional>
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
    // restores the whole archive, or the point in time its manifest records.
    std::vector<std::string> ChosenEntries;
    // An archive with a manifest gives only the files it holds itself, not
    // those its chain's full archive holds for its point in time.
    bool OnlyThisArchive = false;
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
    // Sorted; when not empty, only the entries of exactly these stored
    // names are restored, whatever else DoAll and FilesList choose.
    std::vector<std::string> OnlyNames;

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
// The question before a restore of files chosen from the folder's archives.
std::string ChosenFilesQuestion(size_t files, size_t archives);
// Why files chosen from the folder's archives are not restored: one stored
// name chosen from two archives.
std::string TwoVersionsText(const std::string& name, const std::string& archive,
                            const std::string& other);

// What the run hears from the reader. Entries are named by their stored
// names (directory and file name).
struct RestoreReaderEvents {
    // Once, before the first entry: the files the run sets out to restore.
    std::function<void(int files)> OnStartUnZipInfo;
    std::function<void(const std::string& name)> OnEntryStarted;
    std::function<void(int percent)> OnTotalPercentDone;
    std::function<void()> OnEntryRestored;
    // An encrypted entry failed the password check. The handler never gives
    // a new password; it may raise the silent abort.
    std::function<void(const std::string& name)> OnBadPassword;
    // An existing file of the output's name, with the overwrite mode
    // Prompt: true replaces it. The handler may raise EUserCanceled.
    std::function<bool(const std::string& path)> OnOverwriteQuestion;
    // The overwrite mode (or the answer) kept an existing file.
    std::function<void()> OnNotReplaced;
    // An entry that was not restored for a reason other than the overwrite
    // mode, with the reason (RestoreReport.h words them): a bad CRC, a failed
    // password, an unsafe name, an output file that could not be made, a
    // link in the way.
    std::function<void(const std::string& name, const std::string& reason)> OnEntryNotRestored;
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
    // The text of the archive's entry of that stored name; none when the
    // archive lacks it or cannot give it whole. An empty password stands
    // for the one the reader keeps.
    virtual std::optional<std::string> ReadEntryText(const std::string& path,
                                                     const std::string& storedName,
                                                     const std::string& password) = 0;
};

enum class RestoreOutcome {
    NoArchive, // the current row names no archive
    Declined,  // No to a question
    Succeeded, // "Restore Files Succeeds!" was shown
    Kept,      // nothing lost, but existing files were kept (RestoreKeptText)
    Failed,    // "Restore files fails!" was shown, or the wrong password
    Canceled,  // the user stopped it (RestoreCanceledText)
    Refused,   // two versions of one file chosen (TwoVersionsText)
};

// The restore command of the window.
class RestoreRun {
public:
    // Every run that started ends with one report: success (timed), kept
    // files (stays), lost entries with their reasons (stays, also when an
    // error ended the run) or the cancel (timed). An error before the run
    // started (an archive that cannot be read) is raised, with the lock
    // released and the progress bar reset.
    RestoreOutcome Run(RestoreEditor& editor, RestoreReader& reader, RunHost& host);
    // The same run for files chosen from the archives of the editor's
    // folder (its archive cell and chosen entries play no part), each from
    // its own archive, with one report naming the archives. A file whose
    // archive is gone is lost with that reason; the rest are restored. Two
    // versions of one stored name are refused before anything is asked or
    // written: in one destination the one restored last would silently
    // replace the other.
    RestoreOutcome RunChosen(RestoreEditor& editor, const std::vector<ChosenFile>& chosen,
                             RestoreReader& reader, RunHost& host);
};

} // namespace mzb
