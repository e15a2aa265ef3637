#include "core/RestoreRun.h"

#include "platform/Blanks.h"
#include "zip/base/ZipError.h"

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
    job.DestDir = editor.DestDir;
    job.RecreateDirs = editor.UseFolderNames;
    job.DoAll = true;
    job.Overwrite = editor.Overwrite;
    if (!TrimBlanks(editor.Password).empty()) {
        job.Password = editor.Password;
    }
    return job;
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

    std::set<int> notRestored;
    RestoreOutcome outcome = RestoreOutcome::Failed;
    RestoreReaderEvents events;
    events.OnTotalPercentDone = [&](int percent) { host.SetProgress(percent); };
    events.OnBadPassword = [&](int) {
        host.ShowMessage("The password is incorrect", MessageKind::Error);
        restoreFailed_ = true;
        throw EAbort();
    };
    events.OnEntryNotRestored = [&](int index) { notRestored.insert(index); };
    events.OnUnZipComplete = [&](int) {
        if (restoreFailed_ || !notRestored.empty()) {
            host.ShowTimedMessage(RestoreFailureText(notRestored.size()), MessageKind::Error,
                                  kRunMessageSeconds);
            restoreFailed_ = false;
            outcome = RestoreOutcome::Failed;
        } else {
            host.ShowTimedMessage(RestoreSuccessText(editor.ProjectText, job.ZipName),
                                  MessageKind::Information, kRunMessageSeconds);
            outcome = RestoreOutcome::Succeeded;
        }
    };

    const RunLock lock(host);
    try {
        reader.RunUnZip(events);
    } catch (const EAbort&) {
        // The silent abort: the report was made by whoever raised it.
        outcome = RestoreOutcome::Failed;
    }
    return outcome;
}

} // namespace mzb
