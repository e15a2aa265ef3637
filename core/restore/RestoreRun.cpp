#include "core/restore/RestoreRun.h"

#include "platform/Blanks.h"
#include "zip/base/ZipError.h"

#include <set>

namespace mzb {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutLeadingBlanks(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

} // namespace

std::string RestoreArchivePath(const std::string& folder, const std::string& fileName) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + fileName;
    }
    return folder + "/" + fileName;
}

RestoreJob MakeRestoreJob(const RestoreEditor& editor) {
    RestoreJob job;
    job.ZipName = RestoreArchivePath(std::string(TrimBlanks(editor.FolderText)),
                                     std::string(TrimBlanks(editor.ArchiveCell)));
    // A destination of blanks only is no folder anyone means to make in
    // the current directory: it is left blank.
    if (!TrimBlanks(editor.DestDir).empty()) {
        job.DestDir = editor.DestDir;
    }
    job.RecreateDirs = editor.UseFolderNames;
    job.DoAll = editor.ChosenEntries.empty();
    for (const std::string& name : editor.ChosenEntries) {
        job.FilesList.push_back(ExactNamePattern(name));
    }
    job.Overwrite = editor.Overwrite;
    if (!TrimBlanks(editor.Password).empty()) {
        job.Password = editor.Password;
    }
    return job;
}

std::string ExactNamePattern(const std::string& storedName) {
    std::string pattern;
    pattern.reserve(storedName.size());
    for (const char c : storedName) {
        if (c == '*' || c == '?' || c == '<') {
            pattern += '<';
            pattern += c;
            pattern += '>';
        } else {
            pattern += c;
        }
    }
    return pattern;
}

std::string CommonFolder(const std::string& a, const std::string& b) {
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
        if (a[i] == '/') {
            same = i + 1;
        }
    }
    return a.substr(0, same);
}

std::string OriginalPlacesQuestion(const std::string& folder) {
    return "The destination is blank: the files go back to their original places.\r"
           "Do you want restore them into '" +
           folder + "'?";
}

std::string RestoreSuccessText(const std::string& projectText, const std::string& archivePath) {
    return "Restore Files Succeeds!\rProject Name: '" + projectText + "'\rFilename:     '" +
           FileNameOf(archivePath) + "'";
}

std::string RestoreFailureText(std::size_t entriesNotRestored) {
    std::string text = kRestoreFailedText;
    if (entriesNotRestored > 0) {
        text += "\rFiles Not Restored: " + std::to_string(entriesNotRestored);
    }
    return text;
}

RestoreOutcome RestoreRun::Run(RestoreEditor& editor, RestoreReader& reader, RunHost& host) {
    const std::string name = std::string(TrimBlanks(editor.ArchiveCell));
    if (name.empty()) {
        host.ShowMessage("No Zip file to restore!", MessageKind::Information);
        return RestoreOutcome::NoArchive;
    }
    editor.FolderText = std::string(TrimBlanks(editor.FolderText));
    if (!host.AskYesNo("Do you want restore the file '" + WithoutLeadingBlanks(editor.ArchiveCell) +
                           "'?",
                       MessageKind::Warning)) {
        return RestoreOutcome::Declined;
    }
    const RestoreJob job = MakeRestoreJob(editor);
    reader.Apply(job);
    if (job.DestDir.empty() && !host.AskYesNo(OriginalPlacesQuestion(reader.OriginalPlacesFolder()),
                                              MessageKind::Warning)) {
        return RestoreOutcome::Declined;
    }

    std::set<int> notRestored;
    bool completed = false;
    RestoreReaderEvents events;
    events.OnTotalPercentDone = [&](int percent) { host.SetProgress(percent); };
    events.OnBadPassword = [&](int) {
        host.ShowMessage("The password is incorrect", MessageKind::Error);
        restoreFailed_ = true;
        throw EAbort();
    };
    events.OnEntryNotRestored = [&](int index) { notRestored.insert(index); };
    events.OnUnZipComplete = [&](int) { completed = true; };
    // The report waits for the run to end: a run that an error ends after
    // it started (a cancel, a truncated archive) is no success.
    const auto report = [&](bool ended) {
        const bool failed = ended || restoreFailed_ || !notRestored.empty();
        restoreFailed_ = false;
        if (failed) {
            host.ShowTimedMessage(RestoreFailureText(notRestored.size()), MessageKind::Error,
                                  kRunMessageSeconds);
            return RestoreOutcome::Failed;
        }
        host.ShowTimedMessage(RestoreSuccessText(editor.ProjectText, job.ZipName),
                              MessageKind::Information, kRunMessageSeconds);
        return RestoreOutcome::Succeeded;
    };

    const RunLock lock(host);
    try {
        reader.RunUnZip(events);
    } catch (const EAbort&) {
        // The silent abort: whoever raised it has told the user why.
        if (!completed) {
            restoreFailed_ = false;
            return RestoreOutcome::Failed;
        }
        return report(true);
    } catch (...) {
        if (completed) {
            report(true);
        }
        throw;
    }
    return report(false);
}

} // namespace mzb
