#include "zip/reader/ZipReader.h"

#include "zip/base/ZipError.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <cstdlib>
#include <filesystem>

namespace mzb {
namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? WithTrailingSeparator(home) : std::string("/");
}

// The busy cursor for the length of a scope, also when an error leaves it.
class BusyCursor {
public:
    explicit BusyCursor(THostServices& host) : host_(host) { host_.SetBusyCursor(true); }
    ~BusyCursor() { host_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    THostServices& host_;
};

} // namespace

TZipReader::TZipReader(THostServices& host) : host_(host) {}

TZipReader::~TZipReader() = default;

void TZipReader::SetZipName(const std::string& name) {
    // Linux file names differ by letter case, so only the very same text
    // keeps the directory read for it.
    if (name == zipName_) {
        return;
    }
    std::string chosen = name;
    if (!name.empty() && name.back() == '?') {
        std::string initial = DirectoryPart(name.substr(0, name.size() - 1));
        if (initial.empty() || !DirectoryExists(initial)) {
            initial = HomeDirectory();
        }
        auto picked = host_.OpenFileDialog("Open a Zip File",
                                           "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar "
                                           "Files (*.JAR)|*.jar|All Files (*.*)|*.*",
                                           initial);
        if (!picked) {
            throw EUserCanceled("User canceled setting zip file name.");
        }
        chosen = *picked;
    }
    zipName_ = chosen;
    ForgetArchive();
}

void TZipReader::SetDestDir(const std::string& dir) {
    std::string chosen = dir;
    if (dir == "?") {
        const std::string start =
            DirectoryExists(destDir_) ? destDir_ : std::filesystem::current_path().string();
        auto picked = host_.DirectoryDialog(start);
        if (!picked) {
            throw EUserCanceled("User canceled Set Desination Directory");
        }
        chosen = *picked;
    }
    destDir_ = WithoutTrailingSeparator(chosen);
}

void TZipReader::SetRootDir(const std::string& dir) {
    rootDir_ = WithTrailingSeparator(dir);
}

void TZipReader::SetSortMode(TZipSortMode mode) {
    sortMode_ = mode;
    if (entries_) {
        BuildSortedView();
    }
}

void TZipReader::ForgetArchive() {
    view_.reset();
    entries_.reset();
    localOffsets_.clear();
    endCentral_.Clear();
    archive_.Close();
    haveDirectory_ = false;
    rebuilt_ = false;
    multiMode_ = TMultiMode::mmNone;
}

void TZipReader::OpenArchiveFile() {
    if (archive_.IsOpen()) {
        return;
    }
    // Only a regular file: opening a FIFO named like an archive would wait
    // for a writer that never comes.
    const int fd = OpenRegularForRead(zipName_);
    if (fd < 0 || !archive_.Attach(fd)) {
        throw ENotAZipFile("Not a valid zip file!");
    }
}

void TZipReader::CloseArchiveFileUnlessKept() {
    if (!KeepZipOpen) {
        archive_.Close();
    }
}

void TZipReader::EnsureDirectory() {
    if (haveDirectory_ && ArchiveFileUnchanged()) {
        OpenArchiveFile();
        return;
    }
    // A descriptor kept open from an earlier call may still hold an archive
    // that has since been replaced under the name.
    archive_.Close();
    OpenArchiveFile();
    ReadDirectory();
}

void TZipReader::RememberArchiveFile() {
    const auto info = FileInfoOf(zipName_);
    archiveTime_ = info ? info->WriteTime : 0;
    archiveSize_ = info ? info->Size : 0;
    archiveDevice_ = info ? info->Device : 0;
    archiveInode_ = info ? info->Inode : 0;
}

bool TZipReader::ArchiveFileUnchanged() const {
    const auto info = FileInfoOf(zipName_);
    return info && info->WriteTime == archiveTime_ && info->Size == archiveSize_ &&
           info->Device == archiveDevice_ && info->Inode == archiveInode_;
}

bool TZipReader::TryOpenArchive() {
    try {
        EnsureDirectory();
        return true;
    } catch (const EIncompleteZip&) {
        archive_.Close();
        return false;
    } catch (...) {
        ForgetArchive();
        throw;
    }
}

void TZipReader::OpenArchive() {
    cancelRequested_ = false;
    leadingBytes_ = false;
    BusyCursor busy(host_);
    // The handler may have supplied the missing parts; one more attempt, so
    // a handler that changes nothing cannot keep the call going.
    if (!TryOpenArchive() && OnInCompleteZip) {
        TryOpenArchive();
    }
    CloseArchiveFileUnlessKept();
}

int TZipReader::EntryCount() const {
    return entries_ ? static_cast<int>(entries_->Count()) : 0;
}

const TZipHeaderInfo& TZipReader::Entry(int index) const {
    if (index < 0 || index >= EntryCount()) {
        throw EListError("Index " + std::to_string(index) + " is out of range");
    }
    const auto& list = view_ ? *view_ : *entries_;
    return list.Items(static_cast<std::size_t>(index));
}

std::time_t TZipReader::EntryDateTime(int index) const {
    const auto when = Entry(index).ModificationTime();
    return when ? static_cast<std::time_t>(when->Seconds) : std::time(nullptr);
}

std::string TZipReader::EntryComment(int index) {
    auto& entry = const_cast<TZipHeaderInfo&>(Entry(index));
    if (entry.HasComment() && !entry.FileComment()) {
        OpenArchiveFile();
        entry.LoadFileComment(archive_);
        CloseArchiveFileUnlessKept();
    }
    return entry.FileComment().value_or(std::string());
}

std::string TZipReader::ArchiveComment() {
    if (endCentral_.CommentLength != 0 && !endCentral_.ArchiveComment() && !zipName_.empty()) {
        OpenArchiveFile();
        endCentral_.LoadComment(archive_);
        CloseArchiveFileUnlessKept();
    }
    return endCentral_.ArchiveComment().value_or(std::string());
}

void TZipReader::CheckForCancel() {
    if (DoProcessMessages) {
        host_.ProcessEvents();
    }
    if (cancelRequested_) {
        cancelRequested_ = false;
        throw EUserCanceled("User Aborted Operation");
    }
}

} // namespace mzb
