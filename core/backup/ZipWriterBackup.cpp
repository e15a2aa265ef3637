#include "core/backup/ZipWriterBackup.h"

#include "core/base/EntryText.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"
#include "zip/writer/DirSearch.h"

#include <ctime>
#include <sys/stat.h>

namespace mzb {

namespace {

// The run's handlers capture its locals; a later run must not reach them.
class EventsCleared {
public:
    explicit EventsCleared(TZipWriter& writer) : writer_(writer) {}
    ~EventsCleared() {
        writer_.OnTotalPercentDone = nullptr;
        writer_.OnSkippingFile = nullptr;
        writer_.OnNoSuchFile = nullptr;
        writer_.OnFolderNotListed = nullptr;
        writer_.OnEndZip = nullptr;
        writer_.OnStartZip = nullptr;
        writer_.OnChooseFile = nullptr;
        writer_.OnZipComplete = nullptr;
        writer_.OnArchiveReady = nullptr;
        writer_.OnAddLast = nullptr;
    }
    EventsCleared(const EventsCleared&) = delete;
    EventsCleared& operator=(const EventsCleared&) = delete;

private:
    TZipWriter& writer_;
};

// A text entry stands for no file on the disk: it is given what a file of
// its name that the owner alone may read would carry, so that an extractor
// restoring attributes keeps it private.
std::uint32_t TextEntryAttributes(const std::string& storedName) {
    FileInfo info;
    info.Mode = S_IFREG | 0600u;
    info.Attributes = kAttrArchive;
    if (FileNamePart(storedName).starts_with('.')) {
        info.Attributes |= kAttrHidden;
    }
    return ExternalAttributes(info);
}

std::int64_t Nanoseconds(std::time_t seconds, std::uint32_t nanoseconds) {
    return std::int64_t{seconds} * 1'000'000'000 + nanoseconds;
}

std::string EntryName(TZipReader& reader, int index) {
    const TZipHeaderInfo& entry = reader.Entry(index);
    return entry.Directory() + entry.FileName();
}

FileLeftOut LeftOutReason(int skipReason) {
    switch (skipReason) {
    case kSkipDuplicateName:
        return FileLeftOut::DuplicateName;
    case kSkipTooLarge:
        return FileLeftOut::TooLarge;
    default:
        return FileLeftOut::Unreadable;
    }
}

} // namespace

// Every setting a backup relies on, on every run: the writer is shared by
// the window, the tray and the schedule, and an earlier run of any project
// (also one that failed) may have left any of them. None of these setters
// touches an archive; the comment follows the name because a new name drops
// the comment held for the old one.
void ZipWriterBackup::Apply(const BackupJob& job) {
    writer_.ReplaceExisting = job.ReplaceArchive;
    writer_.ZipAction = TZipAction::zaUpdate;
    writer_.Recurse = job.Recurse;
    writer_.SetStorePaths(job.StorePaths);
    writer_.SetRelativePaths(false);
    writer_.SetStoreVolumes(false);
    writer_.SetRootDir({});
    writer_.ExcludeList = job.ExcludeList;
    writer_.NoCompressList.clear();
    writer_.ArchivePassword = job.ArchivePassword;
    writer_.Encryption = job.Encryption;
    writer_.SetPackLevel(job.PackLevel);
    writer_.AddDirEntriesOnRecurse = job.AddDirEntriesOnRecurse;
    writer_.Dispose = false;
    writer_.MultiZipInfo = TMultiZipInfo{};
    writer_.OverwriteMode = TUZOverwriteMode::Always;
    writer_.AllowEmptyArchive = false;
    writer_.SetZipName(job.ZipName);
    writer_.SetArchiveComment(job.ArchiveComment);
    writer_.SetFilesList(job.FilesList);
}

void ZipWriterBackup::RunZip(const BackupJob& job, const BackupWriterEvents& events) {
    // Before a setting changes under the run already going.
    writer_.RefuseWhileBusy();
    Apply(job);
    EventsCleared cleared(writer_);
    writer_.OnTotalPercentDone = [&](TZipWriter&, int percent) {
        events.OnTotalPercentDone(percent);
    };
    // Every reason (unreadable, duplicate stored name, too large) means the
    // archive lacks the file; nobody retries on a run without a person.
    writer_.OnSkippingFile = [&](TZipWriter& w, int reason, const std::string& name, int, bool&) {
        events.OnFileLeftOut(FileLeftOutText(name, LeftOutReason(reason), w.SkipErrorCode()));
    };
    writer_.OnNoSuchFile = [&](TZipWriter&, const std::string& name) {
        events.OnFileLeftOut(FileLeftOutText(name, FileLeftOut::NotFound, 0));
    };
    writer_.OnFolderNotListed = [&](TZipWriter&, const std::string& name, int error) {
        events.OnFileLeftOut(FolderLeftOutText(name, error));
    };
    // The writer counts directory entries as added; the report wants files.
    int files = 0;
    writer_.OnEndZip = [&](TZipWriter&, const std::string& item, std::uint64_t, std::uint64_t,
                           std::uint64_t) {
        if (KindOfItem(item) != TFileItemKind::Directory) {
            ++files;
        }
    };
    if (events.OnChooseFile) {
        writer_.OnChooseFile = [&](TZipWriter&, const std::string&, const std::string& storedName,
                                   const FileInfo& info, bool& skip) {
            skip = !events.OnChooseFile(
                {storedName, info.Size, Nanoseconds(info.WriteTime, info.WriteTimeNanoseconds),
                 info.Mode, Nanoseconds(info.ChangeTime, info.ChangeTimeNanoseconds)});
        };
    }
    if (events.OnFileStarted) {
        writer_.OnStartZip = [&](TZipWriter&, const std::string& item, TZipHeaderInfo&, bool&) {
            events.OnFileStarted(item);
        };
    }
    if (events.OnAddLast) {
        writer_.OnAddLast = [&](TZipWriter&, const TSortedZip& written,
                                std::vector<TLastEntry>& addLast) {
            std::vector<WrittenEntry> fileEntries;
            for (std::size_t i = 0; i < written.Count(); ++i) {
                const TZipHeaderInfo& entry = written.Items(i);
                if (!entry.FileName().empty()) {
                    fileEntries.push_back({entry.Directory() + entry.FileName(), entry.Crc32});
                }
            }
            for (TextEntry& text : events.OnAddLast(fileEntries)) {
                const std::uint32_t attributes = TextEntryAttributes(text.StoredName);
                addLast.push_back({std::move(text.StoredName), std::move(text.Text), text.PackLevel,
                                   std::time(nullptr), attributes});
            }
        };
    }
    if (events.OnArchiveReady) {
        writer_.OnArchiveReady = [&](TZipWriter&, const std::string& part, std::string& keepAs) {
            keepAs = events.OnArchiveReady(part);
        };
    }
    writer_.OnZipComplete = [&](TZipWriter&, int) { events.OnZipComplete(files); };
    writer_.RunZip();
}

// A reader of its own: the read-back is a step of the writer's run, whose
// writer (a reader too) refuses a second run and holds the run's state.
std::vector<std::string> ZipWriterBackup::ReadBack(const std::string& path,
                                                   const std::string& password) {
    TZipReader reader(writer_.Host());
    reader.Threads = writer_.Threads;
    // The window's events and its cancel go to the writer, whose run this
    // is part of; letting both run them would handle each twice.
    reader.DoProcessMessages = false;
    reader.OnFilePercentDone = [this](TZipReader&, int) { writer_.CheckForCancel(); };
    std::vector<std::string> problems;
    reader.OnSkippingFile = [&](TZipReader&, int reason, const std::string& name, int, bool&) {
        problems.push_back(name +
                           (reason == kSkipBadPassword ? ": wrong password" : ": damaged entry"));
    };
    reader.OnBadCRC = [&](TZipReader& r, std::uint32_t, std::uint32_t, int index) {
        problems.push_back(EntryName(r, index) + ": damaged data (CRC does not match)");
    };
    // Nobody is asked: the password the archive was written with must do.
    reader.OnBadPassword = [](TZipReader&, int, std::string& newPassword) { newPassword.clear(); };
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    reader.TestOnly = true;
    reader.DoAll = true;
    reader.ArchivePassword = password;
    try {
        reader.SetZipName(path);
        reader.OpenArchive();
        reader.RunUnZip();
    } catch (const EUserCanceled&) {
        throw;
    } catch (const EZipError& e) {
        problems.push_back(e.what());
    }
    return problems;
}

std::optional<std::string> ZipWriterBackup::ReadEntryText(const std::string& path,
                                                          const std::string& storedName,
                                                          const std::string& password) {
    return mzb::ReadEntryText(writer_, path, storedName, password);
}

bool ZipWriterBackup::KeepGoing() {
    try {
        writer_.CheckForCancel();
    } catch (const EUserCanceled&) {
        return false;
    }
    return true;
}

} // namespace mzb
