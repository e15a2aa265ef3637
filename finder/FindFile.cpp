#include "finder/FindFile.h"

#include "finder/ContentSearch.h"
#include "finder/ExcludePattern.h"
#include "finder/FindFileError.h"
#include "finder/ListingMask.h"
#include "finder/SearchThread.h"

#include <filesystem>
#include <sys/stat.h>

namespace mzb {

namespace {

std::string AbsoluteFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path absolute = folder.empty() ? fs::current_path() : fs::absolute(folder);
    std::string text = absolute.lexically_normal().string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

// Two spellings name the same folder when they reach the same directory;
// this holds on case-insensitive mounts too, without merging the distinct
// folders "A" and "a" of an ordinary Linux file system.
bool SameFolder(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    return a == b;
}

// A bound without a time of day compares dates, one without a date compares
// times of day, any other the full value. Negative: value before bound.
int CompareWithBound(LocalDateTime value, LocalDateTime bound) {
    int64_t v = value.Ms();
    int64_t b = bound.Ms();
    if (bound.MsOfDay() == 0) {
        v = value.Days();
        b = bound.Days();
    } else if (bound.Days() == 0) {
        v = value.MsOfDay();
        b = bound.MsOfDay();
    }
    return v < b ? -1 : (v > b ? 1 : 0);
}

bool WithinBounds(std::chrono::system_clock::time_point utc, LocalDateTime before,
                  LocalDateTime after) {
    if (before.IsZero() && after.IsZero()) {
        return true;
    }
    const LocalDateTime value = LocalDateTime::FromSystem(utc);
    if (!before.IsZero() && CompareWithBound(value, before) > 0) {
        return false;
    }
    return after.IsZero() || CompareWithBound(value, after) >= 0;
}

} // namespace

TFileAttributes TFileAttributes::FromAttr(int attr) {
    TFileAttributes set;
    const auto add = [&](int bit, TFileAttribute member) {
        if ((attr & bit) != 0) {
            set.bits_ |= Bit(member);
        }
    };
    add(faArchive, TFileAttribute::ffArchive);
    add(faReadOnly, TFileAttribute::ffReadonly);
    add(faHidden, TFileAttribute::ffHidden);
    add(faSysFile, TFileAttribute::ffSystem);
    add(faDirectory, TFileAttribute::ffDirectory);
    return set;
}

std::string FolderText(const std::string& folder) {
    if (folder.size() > 1 && folder.back() == '/' && folder[folder.size() - 2] != ':') {
        return folder.substr(0, folder.size() - 1);
    }
    return folder;
}

TFindFile::TFindFile() = default;

TFindFile::~TFindFile() {
    destroying_ = true;
    if (worker_) {
        worker_->Cancel();
        worker_->Join();
    }
}

void TFindFile::SetFilename(const std::string& value) {
    if (value.find('/') != std::string::npos) {
        throw EFindFileError(value + "\n\rInvalid filename specified");
    }
    filename_ = value;
}

void TFindFile::SetLocation(const std::string& value) {
    if (value.find_first_of("*?") != std::string::npos) {
        throw EFindFileError(value + "\n\rlocation cannot to be contained wildcards");
    }
    location_ = value;
}

void TFindFile::SetThreadPriority(TThreadPriority value) {
    priority_ = value;
    if (worker_) {
        worker_->SetPriority(value);
    }
}

std::vector<TFindFile::Target> TFindFile::BuildTargets() const {
    std::vector<Target> targets;
    if (!IncludeFiles.empty()) {
        for (const std::string& full : IncludeFiles) {
            const size_t slash = full.rfind('/');
            const std::string folder = slash == std::string::npos ? "" : full.substr(0, slash + 1);
            const std::string mask = full.substr(folder.size());
            targets.push_back({AbsoluteFolder(folder), mask.empty() ? "*.*" : mask});
        }
        return targets;
    }
    std::string mask = filename_.empty() ? "*.*" : filename_;
    if (mask.find('.') == std::string::npos) {
        mask += ".*";
    }
    size_t start = 0;
    for (;;) {
        const size_t end = location_.find(';', start);
        const std::string folder =
            AbsoluteFolder(location_.substr(start, end == std::string::npos ? end : end - start));
        bool known = false;
        for (const Target& t : targets) {
            known = known || SameFolder(t.Folder, folder);
        }
        if (!known) {
            targets.push_back({folder, mask});
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return targets;
}

void TFindFile::Execute() {
    if (busy_) {
        return;
    }
    busy_ = true;
    try {
        auto state = std::make_unique<WorkingState>();
        state->Targets = BuildTargets();
        state->Excludes = ExcludeFiles;
        state->Attributes = Attributes;
        state->ExactAttribute = ExactAttribute;
        state->Subfolders = Subfolders;
        state->CreatedBefore = CreatedBefore;
        state->CreatedAfter = CreatedAfter;
        state->ModifiedBefore = ModifiedBefore;
        state->ModifiedAfter = ModifiedAfter;
        state->AccessedBefore = AccessedBefore;
        state->AccessedAfter = AccessedAfter;
        state->SizeMin = SizeMin;
        state->SizeMax = SizeMax;
        if (!Containing.empty()) {
            state->Content = std::make_unique<TContentSearch>(Containing, IgnoreCase);
        }
        state_ = std::move(state);
    } catch (...) {
        // The current directory can have gone; that is a search that found nothing.
        Finish();
        return;
    }
    stop_ = false;
    if (Threaded && PostToOwner) {
        StartWorker();
        return;
    }
    SearchNow();
    Finish();
}

void TFindFile::StartWorker() {
    worker_ = std::make_unique<TSearchThread>(*this, PostToOwner, priority_);
    worker_->Start();
}

void TFindFile::SearchNow() {
    RunTargets();
}

void TFindFile::RunTargets() {
    try {
        for (const Target& target : state_->Targets) {
            if (Stopped()) {
                break;
            }
            SearchFolder(AbsoluteFolder(target.Folder), target.Mask);
        }
    } catch (...) {
        // A search ends quietly at its first error; what it found so far stands.
        stop_ = true;
    }
}

bool TFindFile::Stopped() const {
    return stop_ || (worker_ && worker_->Terminated());
}

void TFindFile::SearchFolder(const std::string& folder, const std::string& mask) {
    const std::string text = FolderText(folder);
    if (!ReportNewFolder(text)) {
        return;
    }
    std::vector<std::string> subfolders;
    {
        TDirectoryListing listing(folder);
        ListingEntry entry;
        TSearchRec record;
        while (!Stopped() && listing.Next(entry)) {
            if (entry.Name[0] == '.') {
                continue;
            }
            // Every subfolder matches the "*.*" of the descent, so one pass
            // over the folder serves both steps.
            if (state_->Subfolders && listing.IsRealFolder(entry)) {
                subfolders.push_back(entry.Name);
            }
            if (MatchesListingMask(entry.Name, mask) && listing.Describe(entry, record) &&
                AcceptFile(folder, record)) {
                ReportFound(text, record);
            }
        }
    }
    for (const std::string& name : subfolders) {
        if (Stopped()) {
            break;
        }
        SearchFolder(folder + name + '/', mask);
    }
}

bool TFindFile::AcceptFile(const std::string& folder, const TSearchRec& record) {
    const WorkingState& s = *state_;
    const TFileAttributes attributes = TFileAttributes::FromAttr(record.Attr);
    if (s.ExactAttribute ? !(attributes == s.Attributes)
                         : !(attributes.Empty() || attributes.Intersects(s.Attributes))) {
        return false;
    }
    const bool isFolder = (record.Attr & faDirectory) != 0;
    if (!isFolder && ((s.SizeMin != 0 && record.Size < s.SizeMin) ||
                      (s.SizeMax != 0 && record.Size > s.SizeMax))) {
        return false;
    }
    const TFindData& times = record.FindData;
    if (!WithinBounds(times.CreationTime, s.CreatedBefore, s.CreatedAfter) ||
        !WithinBounds(times.LastWriteTime, s.ModifiedBefore, s.ModifiedAfter) ||
        !WithinBounds(times.LastAccessTime, s.AccessedBefore, s.AccessedAfter)) {
        return false;
    }
    const std::string path = folder + record.Name;
    for (const std::string& pattern : s.Excludes) {
        if (MatchExcludePattern(path, pattern)) {
            return false;
        }
    }
    return isFolder || !s.Content || s.Content->FileContains(path);
}

bool TFindFile::ReportNewFolder(const std::string& folderText) {
    if (!worker_) {
        return DoNewFolder(folderText);
    }
    bool search = false;
    const bool delivered = worker_->Synchronize([&] { search = DoNewFolder(folderText); });
    return delivered && search;
}

void TFindFile::ReportFound(const std::string& folderText, const TSearchRec& record) {
    if (!worker_) {
        DoFound(folderText, record);
        return;
    }
    worker_->Synchronize([&] { DoFound(folderText, record); });
}

void TFindFile::DoFound(const std::string& folder, const TSearchRec& record) {
    if (OnFound) {
        OnFound(*this, folder, record);
    }
}

bool TFindFile::DoNewFolder(const std::string& folder) {
    bool ignore = false;
    if (OnNewFolder) {
        OnNewFolder(*this, folder, ignore);
    }
    return !ignore;
}

void TFindFile::DoComplete() {
    if (OnComplete) {
        OnComplete(*this);
    }
}

void TFindFile::Finish() {
    state_.reset();
    busy_ = false;
    if (!destroying_) {
        DoComplete();
    }
}

void TFindFile::WorkerEnded() {
    worker_->Join();
    worker_.reset();
    Finish();
}

} // namespace mzb
