#include "core/ZipReaderRestore.h"

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

void ZipReaderRestore::Apply(const RestoreJob& job) {
    reader_.SetZipName(job.ZipName);
    reader_.SetDestDir(job.DestDir);
    reader_.RecreateDirs = job.RecreateDirs;
    reader_.DoAll = job.DoAll;
    if (job.Overwrite) {
        reader_.OverwriteMode = ReaderOverwriteMode(*job.Overwrite);
    }
    if (job.Password) {
        reader_.ArchivePassword = *job.Password;
    }
}

void ZipReaderRestore::RunUnZip(const RestoreReaderEvents& events) {
    EventsCleared cleared(reader_);
    reader_.OnTotalPercentDone = [&](TZipReader&, int percent) {
        events.OnTotalPercentDone(percent);
    };
    reader_.OnBadPassword = [&](TZipReader&, int index, std::string&) {
        events.OnBadPassword(index);
    };
    reader_.OnSkippingFile = [&](TZipReader&, int reason, const std::string&, int index, bool&) {
        if (reason != kSkipNotOverwritten) {
            events.OnEntryNotRestored(index);
        }
    };
    reader_.OnBadCRC = [&](TZipReader&, std::uint32_t, std::uint32_t, int index) {
        events.OnEntryNotRestored(index);
    };
    reader_.OnUnZipComplete = [&](TZipReader&, int count) { events.OnUnZipComplete(count); };
    reader_.RunUnZip();
}

} // namespace mzb
