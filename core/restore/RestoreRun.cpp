#include "core/restore/RestoreRun.h"

#include "core/base/Manifest.h"
#include "core/restore/PointInTime.h"
#include "platform/Blanks.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace mzb {

namespace {

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

namespace {

// Gathers what the reader reports during one run, and answers the
// overwrite question with the user's "to all" answers kept for the run.
class RestoreWatch {
public:
    explicit RestoreWatch(RunHost& host) : host_(host) {}

    RestoreReaderEvents Events() {
        RestoreReaderEvents events;
        events.OnStartUnZipInfo = [this](int files) {
            if (!planned_) {
                tally_.Chosen = files;
            }
        };
        events.OnEntryStarted = [this](const std::string& name) {
            atHand_ = name;
            host_.ShowCurrentFile(name);
        };
        events.OnTotalPercentDone = [this](int percent) { host_.SetProgress(percent); };
        events.OnEntryRestored = [this] { ++tally_.Restored; };
        events.OnBadPassword = [this](const std::string& name) {
            host_.ShowMessage("The password is incorrect", MessageKind::Error);
            Lose(name, kWrongPasswordReason);
            throw EAbort();
        };
        events.OnOverwriteQuestion = [this](const std::string& path) { return MayReplace(path); };
        events.OnNotReplaced = [this] { ++tally_.NotReplaced; };
        events.OnEntryNotRestored = [this](const std::string& name, const std::string& reason) {
            Lose(name, reason);
        };
        events.OnUnZipComplete = [this](int count) {
            completed_ = true;
            entriesDone_ += count;
        };
        return events;
    }

    // A point in time sets out to restore the files its manifest lists,
    // over one run per archive that holds them.
    void Plan(int files) {
        planned_ = true;
        tally_.Chosen = files;
    }
    // Before each run of the reader.
    void StartRun() {
        completed_ = false;
        atHand_.clear();
    }
    // Files the restore cannot give, with the reason.
    void LoseAll(const std::vector<std::string>& names, const std::string& reason) {
        for (const std::string& name : names) {
            Lose(name, reason);
        }
    }

    // The run reached its end event, so a report is due.
    bool Completed() const { return completed_; }
    // An error ended the run at the entry at hand.
    void StoppedBy(const std::string& reason) {
        if (!atHand_.empty()) {
            Lose(atHand_, reason);
        }
        tally_.Stopped = true;
    }
    void Stopped() { tally_.Stopped = true; }
    const RestoreTally& Tally() const { return tally_; }
    bool NothingInArchive() const { return entriesDone_ == 0 && tally_.Chosen == 0; }

private:
    // An entry can be reported twice (a bad CRC, then its skip).
    void Lose(const std::string& name, const std::string& reason) {
        const std::string line = name + ": " + reason;
        if (tally_.Lost.empty() || tally_.Lost.back() != line) {
            tally_.Lost.push_back(line);
        }
    }

    bool MayReplace(const std::string& path) {
        if (toAll_) {
            return *toAll_;
        }
        switch (host_.AskOverwrite(OverwriteQuestionText(path))) {
        case OverwriteAnswer::Yes:
            return true;
        case OverwriteAnswer::YesToAll:
            toAll_ = true;
            return true;
        case OverwriteAnswer::No:
            return false;
        case OverwriteAnswer::NoToAll:
            toAll_ = false;
            return false;
        case OverwriteAnswer::Cancel:
            break;
        }
        throw EUserCanceled("User Aborted Operation");
    }

    RunHost& host_;
    RestoreTally tally_;
    std::string atHand_;
    std::optional<bool> toAll_;
    bool completed_ = false;
    bool planned_ = false;
    int entriesDone_ = 0;
};

// One run of the reader: the job, and for a point in time the files it
// gives, lost together when its archive cannot be read.
struct ReaderPass {
    RestoreJob Job;
    std::vector<std::string> Names;
};

// The reader's runs for the job: the archive as it stands, or the point in
// time its manifest records. Holders that are not there are lost at once.
std::vector<ReaderPass> PlanPasses(const RestoreJob& job, bool onlyThis, RestoreReader& reader,
                                   RestoreWatch& watch) {
    if (!job.FilesList.empty()) {
        return {{job, {}}};
    }
    const std::optional<std::string> text = reader.ReadEntryText(
        job.ZipName, std::string(kManifestEntryName), job.Password.value_or(std::string()));
    if (!text) {
        return {{job, {}}};
    }
    Manifest point;
    try {
        point = ReadManifest(*text);
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(job.ZipName + ": its manifest is damaged (" + error.what() +
                                 "), so the point in time it records is unknown");
    }
    const std::string folder = DirectoryPart(job.ZipName);
    const std::string self = job.ZipName.substr(folder.size());
    if (onlyThis) {
        std::erase_if(point.Files, [&](const ManifestFile& file) { return file.Holder != self; });
    }
    const PointInTimePlan plan = PlanPointInTime(point, [&](const std::string& archive) {
        std::error_code ec;
        return archive == self || std::filesystem::is_regular_file(folder + archive, ec);
    });
    watch.Plan(static_cast<int>(point.Files.size()));
    for (const HolderFiles& missing : plan.Missing) {
        watch.LoseAll(missing.Names, "its archive '" + missing.Archive + "' is missing");
    }
    std::vector<ReaderPass> passes;
    for (const HolderFiles& holder : plan.Extract) {
        ReaderPass pass{job, holder.Names};
        pass.Job.ZipName = folder + holder.Archive;
        pass.Job.DoAll = true;
        pass.Job.OnlyNames = holder.Names;
        std::sort(pass.Job.OnlyNames.begin(), pass.Job.OnlyNames.end());
        passes.push_back(std::move(pass));
    }
    return passes;
}

} // namespace

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
    RestoreWatch watch(host);
    const std::vector<ReaderPass> passes = PlanPasses(job, editor.OnlyThisArchive, reader, watch);
    if (!passes.empty()) {
        reader.Apply(passes.front().Job);
    }
    if (job.DestDir.empty() && !passes.empty() &&
        !host.AskYesNo(OriginalPlacesQuestion(reader.OriginalPlacesFolder()),
                       MessageKind::Warning)) {
        return RestoreOutcome::Declined;
    }

    const RunLock lock(host);
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const ReaderPass& pass = passes[i];
        if (i > 0) {
            reader.Apply(pass.Job);
        }
        watch.StartRun();
        // Errors after the run started are the report's to name, with the
        // entry they stopped at; before it, the archive could not be read
        // at all: a point in time names it with the files it would have
        // given and goes on with the rest.
        try {
            reader.RunUnZip(watch.Events());
        } catch (const EAbort&) {
            // The wrong password: its box has been shown.
            if (!watch.Completed()) {
                return RestoreOutcome::Failed;
            }
            watch.Stopped();
        } catch (const EUserCanceled&) {
            if (!watch.Completed()) {
                throw;
            }
            host.ShowTimedMessage(RestoreCanceledText(job.ZipName, watch.Tally()),
                                  MessageKind::Warning, kRunMessageSeconds);
            return RestoreOutcome::Canceled;
        } catch (const ECantWriteUCF& error) {
            if (!watch.Completed()) {
                throw;
            }
            watch.StoppedBy(error.ErrorCode != 0 ? NotWrittenReason(error.ErrorCode)
                                                 : error.what());
        } catch (const EZipError& error) {
            if (watch.Completed()) {
                watch.StoppedBy(error.what());
            } else if (!pass.Names.empty()) {
                watch.LoseAll(pass.Names, "its archive '" + FileNamePart(pass.Job.ZipName) +
                                              "' cannot be read: " + error.what());
            } else {
                throw;
            }
        }
    }
    const RestoreTally& tally = watch.Tally();
    if (!tally.Lost.empty() || tally.Stopped) {
        host.ShowTimedMessage(RestoreFailureText(editor.ProjectText, job.ZipName, tally),
                              MessageKind::Error, kRunMessageStays);
        return RestoreOutcome::Failed;
    }
    if (watch.NothingInArchive()) {
        host.ShowTimedMessage(RestoreNothingText(job.ZipName), MessageKind::Error,
                              kRunMessageStays);
        return RestoreOutcome::Failed;
    }
    if (tally.NotReplaced > 0) {
        host.ShowTimedMessage(RestoreKeptText(editor.ProjectText, job.ZipName, tally),
                              MessageKind::Information, kRunMessageStays);
        return RestoreOutcome::Kept;
    }
    host.ShowTimedMessage(RestoreSuccessText(editor.ProjectText, job.ZipName),
                          MessageKind::Information, kRunMessageSeconds);
    return RestoreOutcome::Succeeded;
}

} // namespace mzb
