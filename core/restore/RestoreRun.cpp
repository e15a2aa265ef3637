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
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
            if (planned_) {
                reached_.insert(name);
            }
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

    // After a run that went through its archive: the planned files it never
    // came to (an archive replaced under its name since it was chosen).
    void LoseUnreached(const std::vector<std::string>& names, const std::string& reason) {
        for (const std::string& name : names) {
            if (!reached_.contains(name)) {
                Lose(name, reason);
            }
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
        if (planned_) {
            reached_.insert(name);
        }
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
    // Of a planned restore: the files started or lost.
    std::unordered_set<std::string> reached_;
    int entriesDone_ = 0;
};

// One run of the reader: the job, and for files chosen from several
// archives (a point in time, search results) the files it gives, lost
// together when its archive cannot be read.
struct ReaderPass {
    RestoreJob Job;
    std::vector<std::string> Names;
};

// One run per archive of the folder that holds some of the files, each
// taking exactly its files; the files of archives that are gone are lost
// at once.
std::vector<ReaderPass> GroupPasses(const RestoreJob& job, const std::string& folder,
                                    const ArchiveGroups& groups, RestoreWatch& watch) {
    size_t files = 0;
    for (const auto* list : {&groups.Extract, &groups.Missing}) {
        for (const HolderFiles& holder : *list) {
            files += holder.Names.size();
        }
    }
    watch.Plan(static_cast<int>(files));
    for (const HolderFiles& missing : groups.Missing) {
        watch.LoseAll(missing.Names, "its archive '" + missing.Archive + "' is missing");
    }
    std::vector<ReaderPass> passes;
    for (const HolderFiles& holder : groups.Extract) {
        ReaderPass pass{job, holder.Names};
        pass.Job.ZipName = RestoreArchivePath(folder, holder.Archive);
        pass.Job.DoAll = true;
        pass.Job.FilesList.clear();
        pass.Job.OnlyNames = holder.Names;
        std::sort(pass.Job.OnlyNames.begin(), pass.Job.OnlyNames.end());
        passes.push_back(std::move(pass));
    }
    return passes;
}

std::function<bool(const std::string&)> PresentIn(const std::string& folder) {
    return [folder](const std::string& archive) {
        std::error_code ec;
        return std::filesystem::is_regular_file(RestoreArchivePath(folder, archive), ec);
    };
}

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
    const auto present = PresentIn(folder);
    const ArchiveGroups plan = PlanPointInTime(
        point, [&](const std::string& archive) { return archive == self || present(archive); });
    return GroupPasses(job, folder, plan, watch);
}

// The folder that holds every place the passes restore to; none when no
// archive could be read (the run then loses their files and names them).
// Backwards, so that the first pass's job is the one the reader keeps.
std::optional<std::string> OriginalPlaces(const std::vector<ReaderPass>& passes,
                                          RestoreReader& reader) {
    std::optional<std::string> common;
    for (auto pass = passes.rbegin(); pass != passes.rend(); ++pass) {
        reader.Apply(pass->Job);
        std::string folder;
        try {
            folder = reader.OriginalPlacesFolder();
        } catch (const EZipError&) {
            if (pass->Names.empty()) {
                throw;
            }
            continue;
        }
        common = common ? CommonFolder(*common, folder) : folder;
    }
    return common;
}

// The run of the passes under the lock, and its one report naming the
// archives it read from.
RestoreOutcome RunPasses(const RestoreJob& job, const std::vector<ReaderPass>& passes,
                         const std::vector<std::string>& archives, const std::string& projectText,
                         RestoreReader& reader, RunHost& host, RestoreWatch& watch) {
    if (job.DestDir.empty()) {
        const std::optional<std::string> places = OriginalPlaces(passes, reader);
        if (places && !host.AskYesNo(OriginalPlacesQuestion(*places), MessageKind::Warning)) {
            return RestoreOutcome::Declined;
        }
    }

    const RunLock lock(host);
    for (const ReaderPass& pass : passes) {
        reader.Apply(pass.Job);
        watch.StartRun();
        // Errors after the run started are the report's to name, with the
        // entry they stopped at; before it, the archive could not be read
        // at all: files of several archives are named with it, and the
        // rest go on.
        try {
            reader.RunUnZip(watch.Events());
            watch.LoseUnreached(pass.Names, "not in its archive '" +
                                                FileNamePart(pass.Job.ZipName) + "' any more");
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
            host.ShowTimedMessage(RestoreCanceledText(archives, watch.Tally()),
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
        host.ShowTimedMessage(RestoreFailureText(projectText, archives, tally), MessageKind::Error,
                              kRunMessageStays);
        return RestoreOutcome::Failed;
    }
    if (watch.NothingInArchive()) {
        host.ShowTimedMessage(RestoreNothingText(job.ZipName), MessageKind::Error,
                              kRunMessageStays);
        return RestoreOutcome::Failed;
    }
    if (tally.NotReplaced > 0) {
        host.ShowTimedMessage(RestoreKeptText(projectText, archives, tally),
                              MessageKind::Information, kRunMessageStays);
        return RestoreOutcome::Kept;
    }
    host.ShowTimedMessage(RestoreSuccessText(projectText, archives), MessageKind::Information,
                          kRunMessageSeconds);
    return RestoreOutcome::Succeeded;
}

// The first stored name chosen from two archives, with both.
std::optional<std::string> TwoVersionsOfOnePath(const std::vector<ChosenFile>& chosen) {
    std::unordered_map<std::string_view, std::string_view> from;
    for (const ChosenFile& file : chosen) {
        const auto [first, added] = from.emplace(file.Name, file.Archive);
        if (!added && first->second != file.Archive) {
            return TwoVersionsText(file.Name, std::string(first->second), file.Archive);
        }
    }
    return std::nullopt;
}

} // namespace

std::string ChosenFilesQuestion(size_t files, size_t archives) {
    return "Do you want restore the " + std::to_string(files) + " chosen files from " +
           std::to_string(archives) + (archives == 1 ? " archive?" : " archives?");
}

std::string TwoVersionsText(const std::string& name, const std::string& archive,
                            const std::string& other) {
    return "'" + name + "' is chosen from two archives, '" + archive + "' and '" + other +
           "': both versions would be restored to the same place.\r"
           "Choose one version of each file, or restore the versions one at a time into "
           "different folders.";
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
    RestoreWatch watch(host);
    const std::vector<ReaderPass> passes = PlanPasses(job, editor.OnlyThisArchive, reader, watch);
    return RunPasses(job, passes, {job.ZipName}, editor.ProjectText, reader, host, watch);
}

RestoreOutcome RestoreRun::RunChosen(RestoreEditor& editor, const std::vector<ChosenFile>& chosen,
                                     RestoreReader& reader, RunHost& host) {
    if (chosen.empty()) {
        host.ShowMessage("No file chosen to restore!", MessageKind::Information);
        return RestoreOutcome::NoArchive;
    }
    if (const auto conflict = TwoVersionsOfOnePath(chosen)) {
        host.ShowMessage(*conflict, MessageKind::Warning);
        return RestoreOutcome::Refused;
    }
    editor.FolderText = std::string(TrimBlanks(editor.FolderText));
    const ArchiveGroups groups = GroupByArchive(chosen, PresentIn(editor.FolderText));
    std::vector<std::string> archives;
    size_t files = 0;
    for (const auto* list : {&groups.Extract, &groups.Missing}) {
        for (const HolderFiles& holder : *list) {
            archives.push_back(RestoreArchivePath(editor.FolderText, holder.Archive));
            files += holder.Names.size();
        }
    }
    if (!host.AskYesNo(ChosenFilesQuestion(files, archives.size()), MessageKind::Warning)) {
        return RestoreOutcome::Declined;
    }
    RestoreEditor settings = editor;
    settings.ChosenEntries.clear();
    const RestoreJob job = MakeRestoreJob(settings);
    RestoreWatch watch(host);
    const std::vector<ReaderPass> passes = GroupPasses(job, editor.FolderText, groups, watch);
    return RunPasses(job, passes, archives, editor.ProjectText, reader, host, watch);
}

} // namespace mzb
