#include "core/restore/ZipReaderRestore.h"

#include "core/base/EntryText.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <optional>

namespace mzb {

namespace {

// The run's handlers capture its locals; a later run must not reach them.
class EventsCleared {
public:
    explicit EventsCleared(TZipReader& reader) : reader_(reader) {}
    ~EventsCleared() { static_cast<TZipReaderEvents&>(reader_) = TZipReaderEvents{}; }
    EventsCleared(const EventsCleared&) = delete;
    EventsCleared& operator=(const EventsCleared&) = delete;

private:
    TZipReader& reader_;
};

// While the reader reports the skip: why the entry was not restored.
std::string SkipReasonText(const TZipReader& reader, int reason) {
    switch (reason) {
    case kSkipBadPassword:
        return kWrongPasswordReason;
    case kSkipLinkInTheWay:
        return LinkInTheWayReason(reader.LinkInTheWay());
    case kSkipCannotCreate:
        return CannotCreateReason(reader.SkipErrorCode());
    case kSkipNotAuthentic:
        return kNotAuthenticReason;
    default:
        return kUnsafeNameReason;
    }
}

} // namespace

TUZOverwriteMode ReaderOverwriteMode(RestoreOverwrite mode) {
    switch (mode) {
    case RestoreOverwrite::Always:
        return TUZOverwriteMode::Always;
    case RestoreOverwrite::Never:
        return TUZOverwriteMode::Never;
    case RestoreOverwrite::IfNewer:
        return TUZOverwriteMode::ifNewer;
    case RestoreOverwrite::IfOlder:
        return TUZOverwriteMode::ifOlder;
    case RestoreOverwrite::Prompt:
        break;
    }
    return TUZOverwriteMode::Prompt;
}

// The job's settings, and the defaults of those a restore never changes:
// the reader lives as long as the window, and only the password and the
// overwrite mode are meant to carry over from an earlier run.
void ZipReaderRestore::Apply(const RestoreJob& job) {
    // Before a setting changes under the run already going.
    reader_.RefuseWhileBusy();
    reader_.TestOnly = false;
    reader_.SetRootDir({});
    reader_.RetainAttributes = true;
    reader_.ReplaceReadOnly = false;
    reader_.IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    reader_.SetZipName(job.ZipName);
    reader_.SetDestDir(job.DestDir);
    reader_.RecreateDirs = job.RecreateDirs;
    reader_.DoAll = job.DoAll;
    reader_.SetFilesList(job.FilesList);
    if (job.Overwrite) {
        reader_.OverwriteMode = ReaderOverwriteMode(*job.Overwrite);
    }
    if (job.Password) {
        reader_.ArchivePassword = *job.Password;
    }
    onlyNames_ = job.OnlyNames;
}

bool ZipReaderRestore::Excluded(const TZipHeaderInfo& entry) const {
    return !onlyNames_.empty() && !std::binary_search(onlyNames_.begin(), onlyNames_.end(),
                                                      entry.Directory() + entry.FileName());
}

std::optional<std::string> ZipReaderRestore::ReadEntryText(const std::string& path,
                                                           const std::string& storedName,
                                                           const std::string& password) {
    // Like the run, which keeps the password of an earlier one when none is typed.
    return mzb::ReadEntryText(reader_, path, storedName,
                              password.empty() ? reader_.ArchivePassword : password);
}

std::string ZipReaderRestore::OriginalPlacesFolder() {
    reader_.OpenArchive();
    const TOutputPathRules rules = reader_.OutputRules();
    std::optional<std::string> common;
    for (int i = 0; i < reader_.EntryCount(); ++i) {
        const TZipHeaderInfo& entry = reader_.Entry(i);
        if (!reader_.IsChosen(entry) || Excluded(entry)) {
            continue;
        }
        // Unsafe names are refused by the run; they go nowhere.
        if (const auto path = reader_.OutputPathOfEntry(entry)) {
            const std::string folder = DirectoryPart(*path);
            common = common ? CommonFolder(*common, folder) : folder;
        }
    }
    return common.value_or(WithTrailingSeparator(rules.OriginalRoot));
}

void ZipReaderRestore::RunUnZip(const RestoreReaderEvents& events) {
    EventsCleared cleared(reader_);
    const auto storedName = [this](int index) {
        const TZipHeaderInfo& entry = reader_.Entry(index);
        return entry.Directory() + entry.FileName();
    };
    reader_.OnStartUnZipInfo = [&](TZipReader&, int files, std::uint64_t, bool&) {
        events.OnStartUnZipInfo(files);
    };
    reader_.OnStartUnZip = [&](TZipReader&, int index, std::string&, bool& skip) {
        if (Excluded(reader_.Entry(index))) {
            skip = true;
            return;
        }
        events.OnEntryStarted(storedName(index));
    };
    reader_.OnEndUnZip = [&](TZipReader&, int, const std::string&) { events.OnEntryRestored(); };
    reader_.OnTotalPercentDone = [&](TZipReader&, int percent) {
        events.OnTotalPercentDone(percent);
    };
    reader_.OnBadPassword = [&](TZipReader&, int index, std::string&) {
        events.OnBadPassword(storedName(index));
    };
    reader_.OnPromptForOverwrite = [&](TZipReader&, bool& overwrite, int, const std::string& path) {
        overwrite = events.OnOverwriteQuestion(path);
    };
    reader_.OnSkippingFile = [&](TZipReader& r, int reason, const std::string&, int index, bool&) {
        if (reason == kSkipNotOverwritten) {
            events.OnNotReplaced();
        } else {
            events.OnEntryNotRestored(storedName(index), SkipReasonText(r, reason));
        }
    };
    reader_.OnBadCRC = [&](TZipReader&, std::uint32_t, std::uint32_t, int index) {
        events.OnEntryNotRestored(storedName(index), kBadCrcReason);
    };
    reader_.OnUnZipComplete = [&](TZipReader&, int count) { events.OnUnZipComplete(count); };
    reader_.RunUnZip();
}

} // namespace mzb
