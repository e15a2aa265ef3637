#include "zip/writer/ZipWriter.h"

#include "zip/base/RunPoint.h"
#include "zip/base/ZipError.h"
#include "zip/io/FileCommit.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PartFile.h"
#include "zip/io/PathName.h"
#include "zip/writer/DirSearch.h"
#include "zip/writer/ZipWriteRun.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mzb {
namespace {

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string SystemError() {
    return std::strerror(errno);
}

// Archives are written under a hidden name in their own folder: a rename
// within one folder is a single step, and the part file is never listed
// among the folder's archives.
std::string FolderOf(const std::string& zipName) {
    const std::string dir = DirectoryPart(zipName);
    return dir.empty() ? std::string("./") : dir;
}

constexpr const char* kPartMark = ".part-";

std::string PartPrefixOf(const std::string& zipName) {
    std::string prefix = ".";
    prefix += FileNamePart(zipName);
    prefix += kPartMark;
    return prefix;
}

// Leftovers of killed runs that wrote archives of the same extension in the
// folder go, whatever their names: a name made of the date is never written
// again, so its part file would otherwise stay for good. Part files are
// locked while written, so one being written by another run stays.
void RemoveLeftoverParts(const std::string& zipName) {
    const std::string name = FileNamePart(zipName);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        RemoveStaleParts(FolderOf(zipName), PartPrefixOf(zipName));
    } else {
        RemoveStalePartsEndingIn(FolderOf(zipName), name.substr(dot) + kPartMark);
    }
}

// The permission bits of the file at the name when it is a regular file
// of the running user's own, looked at without following a link; nothing
// for anything else. Another user's file could have been planted to lend
// its entries or its mode (0666) to the archive written in its place.
std::optional<unsigned> OwnArchiveMode(const std::string& zipName) {
    struct stat st {};
    if (::lstat(zipName.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        return std::nullopt;
    }
    return st.st_mode & 0777;
}

} // namespace

TZipWriter::TZipWriter(THostServices& host, TZipLimits limits, TFillerSource filler)
    : TZipReader(host), limits_(limits), filler_(std::move(filler)), commit_(&SystemFileCommit()) {}

TZipWriter::~TZipWriter() = default;

// --- settings -----------------------------------------------------------------

std::string TZipWriter::HeldComment() {
    const bool notLoaded = endCentral_.CommentLength != 0 && !endCentral_.ArchiveComment();
    if (notLoaded && FileExists(zipName_)) {
        return ArchiveComment();
    }
    return endCentral_.ArchiveComment().value_or(std::string());
}

void TZipWriter::SetArchiveComment(const std::string& comment) {
    if (comment == HeldComment()) {
        return;
    }
    endCentral_.SetArchiveComment(comment);
    endCentral_.CommentChanged = true;
}

void TZipWriter::SetStorePaths(bool on) {
    storePaths_ = on;
    if (!on) {
        relativePaths_ = false;
        storeVolumes_ = false;
    }
}

void TZipWriter::SetRelativePaths(bool on) {
    relativePaths_ = on;
    if (on) {
        storePaths_ = true;
        Recurse = true;
    }
}

void TZipWriter::SetStoreVolumes(bool on) {
    storeVolumes_ = on;
    if (on) {
        storePaths_ = true;
    }
}

void TZipWriter::SetPackLevel(int level) {
    packLevel_ = std::clamp(level, 0, kMaxDeflateLevel);
}

// --- the run ------------------------------------------------------------------

namespace {

bool HoldsAFile(const TSortedZip& entries) {
    for (std::size_t i = 0; i < entries.Count(); ++i) {
        if (!entries.Items(i).FileName().empty()) {
            return true;
        }
    }
    return false;
}

} // namespace

int TZipWriter::RunZip() {
    const TRunUnderWay running(*this);
    const int added = Run();
    if (OnZipComplete) {
        OnZipComplete(*this, added);
    }
    return added;
}

int TZipWriter::Run() {
    cancelRequested_ = false;
    if (IsBlank(zipName_)) {
        filesList_.clear();
        return 0;
    }
    if (MultiZipInfo.MultiMode != TMultiMode::mmNone) {
        filesList_.clear();
        throw EZipError("Splitting an archive over several disks or files is not supported: " +
                        zipName_);
    }
    const TZipSortMode sortMode = sortMode_;
    const bool keepOpen = KeepZipOpen;
    KeepZipOpen = true;
    SetSortMode(TZipSortMode::ByNone);
    auto restore = [&] {
        SetSortMode(sortMode);
        KeepZipOpen = keepOpen;
        CloseArchiveFileUnlessKept();
        filesList_.clear();
    };

    TZipWriteRun run;
    try {
        // Before the list is expanded, so that a killed run's leftover is
        // neither backed up nor left to fill the disk.
        RemoveLeftoverParts(zipName_);
        // Before the output exists, so that a temporary file in a directory
        // being backed up is never added to itself.
        if (const auto mode = OwnArchiveMode(zipName_)) {
            run.keptMode = mode;
            run.replacing = ReplaceExisting;
            run.rewriting = !ReplaceExisting;
            if (run.rewriting) {
                OpenOwnArchive();
                EnsureDirectory();
            }
        }
        ExpandList(run);
        OpenOutput(run);
        PrepareEndRecord(run);
        if (!filesList_.empty() && OnStartZipInfo) {
            bool stopNow = false;
            OnStartZipInfo(*this, static_cast<int>(filesList_.size()), totalBytes_, run.endCentral,
                           stopNow);
            if (stopNow) {
                throw EUserCanceled("User canceled Zip operation");
            }
        }
        PassRunPoint("writer-first-entry");
        if (run.rewriting) {
            CarryOver(run);
        }
        AddListedFiles(run);
        AddLastEntries(run);
        if (!AllowEmptyArchive && !HoldsAFile(*run.entries)) {
            throw ENoFilesAdded("No files were added, so no archive was written.");
        }
        WriteCentralDirectory(run);
        FinishOutput(run);
        PutInPlace(run);
        AdoptNewDirectory(run);
        DisposeFiles(run);
    } catch (...) {
        Abandon(run);
        restore();
        throw;
    }
    restore();
    return run.added;
}

// The archive to update, opened as the one found to be the user's own: a
// name swapped for a link or another file meanwhile is not read.
void TZipWriter::OpenOwnArchive() {
    archive_.Close();
    const int fd = ::open(zipName_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd);
        throw ENotAZipFile("Not a valid zip file!");
    }
    if (fd < 0 || !archive_.Attach(fd)) {
        throw ENotAZipFile("Not a valid zip file!");
    }
}

void TZipWriter::ExpandList(TZipWriteRun& run) {
    TFileListExpansion settings;
    settings.RootDir = rootDir_;
    settings.Recurse = Recurse;
    settings.AddDirEntriesOnRecurse = AddDirEntriesOnRecurse;
    settings.SkipIfArchiveBitNotSet = SkipIfArchiveBitNotSet;
    settings.ExcludeList = ExcludeList;
    settings.ZipName = zipName_;
    if (ZipAction == TZipAction::zaFreshen) {
        if (run.rewriting) {
            for (std::size_t i = 0; i < entries_->Count(); ++i) {
                const auto& e = entries_->Items(i);
                run.existingNames.insert(e.Directory() + e.FileName());
            }
        }
        settings.HasArchiveEntry = [this, &run](const std::string& path) {
            return run.existingNames.count(StoredNameOf(path)) != 0;
        };
    }
    if (OnChooseFile) {
        settings.ChooseFile = [this](const std::string& path, const FileInfo& info) {
            bool skip = false;
            OnChooseFile(*this, path, StoredNameOf(path), info, skip);
            return !skip;
        };
    }
    settings.CancelRequested = [this] {
        if (DoProcessMessages) {
            host_.ProcessEvents();
        }
        return std::exchange(cancelRequested_, false);
    };
    settings.OnNoSuchFile = [this](const std::string& name) {
        if (OnNoSuchFile) {
            OnNoSuchFile(*this, name);
        }
    };
    settings.OnRecursingFile = [this](const std::string& name) {
        if (OnRecursingFile) {
            OnRecursingFile(*this, name);
        }
    };
    settings.OnFolderNotListed = [this](const std::string& name, int error) {
        if (OnFolderNotListed) {
            OnFolderNotListed(*this, name, error);
        }
    };
    totalBytes_ = ExpandFilesList(filesList_, settings);
    // Kept for the whole run: a tree of tiny files has as many items as entries.
    filesList_.shrink_to_fit();
    run.itemTaken.assign(filesList_.size(), false);
}

void TZipWriter::OpenOutput(TZipWriteRun& run) {
    const int fd = CreatePartFile(FolderOf(zipName_), PartPrefixOf(zipName_), run.outputPath);
    if (fd < 0) {
        throw EZipError("Cannot create a temporary file beside " + zipName_ + ": " + SystemError());
    }
    if (!run.output.Attach(fd)) {
        throw EZipError("Cannot write " + run.outputPath + ": " + SystemError());
    }
    run.entries = std::make_unique<TSortedZip>(TZipSortMode::ByNone, TDuplicates::Error, true);
    run.storedNames.emplace(*run.entries, filesList_);
}

// The new archive keeps the comment held: the one set, else the one of the
// archive rewritten. Taking it also when nothing changed means that two runs
// with the same comment under one name both carry it.
void TZipWriter::PrepareEndRecord(TZipWriteRun& run) {
    run.endCentral.Clear();
    run.endCentral.SetArchiveComment(HeldComment());
}

void TZipWriter::AddListedFiles(TZipWriteRun& run) {
    std::vector<TPlannedFile> plan;
    for (std::size_t i = 0; i < filesList_.size(); ++i) {
        const std::string& item = filesList_[i];
        if (!run.itemTaken[i]) {
            plan.push_back(Planned(item));
        }
    }
    Pipeline(run).Plan(std::move(plan));
    for (std::size_t i = 0; i < filesList_.size(); ++i) {
        if (!run.itemTaken[i]) {
            AddItem(run, i);
        }
    }
}

void TZipWriter::WriteCentralDirectory(TZipWriteRun& run) {
    TEndCentral& end = run.endCentral;
    end.CentralOffset = run.output.Position();
    end.CentralStartDisk = 0;
    for (std::size_t i = 0; i < run.entries->Count(); ++i) {
        TZipHeaderInfo& entry = run.entries->Items(i);
        entry.CentralHeaderPosition = run.output.Position();
        if (!entry.WriteCentralHeader(run.output, limits_.Classic)) {
            throw ENotEnoughRoom("Not enough room to write archive");
        }
        PassRunPoint("writer-central-directory");
    }
    end.CentralSize = run.output.Position() - end.CentralOffset;
    end.ThisDisk = 0;
    end.EntriesThisDisk = run.entries->Count();
    end.TotalEntries = run.entries->Count();
    if (!end.Write(run.output, limits_.Classic)) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
    // The ZIP64 records, when written, stand before the end record.
    end.CommentPosition = run.output.Position() - end.CommentLength;
}

// The part file stays open, and so locked, until it has its name: a run
// cleaning up leftovers of the same name must not take it for one.
void TZipWriter::FinishOutput(TZipWriteRun& run) {
    // An entry taken back may have left bytes beyond the end record.
    const std::uint64_t end = run.output.Position();
    const int fd = run.output.Descriptor();
    if (!run.output.Flush() || ::ftruncate(fd, static_cast<off_t>(end)) != 0) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
    // New archives stay the owner's alone; an update or a replacement keeps
    // what the owner chose for the old one.
    if (run.keptMode) {
        ::fchmod(fd, *run.keptMode);
    }
    if (!commit_->SyncFile(fd)) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
}

// One rename replaces the old archive, if any, with the complete new one;
// until then the old one is untouched. Success is reported only once the
// folder entry is on the disk too.
void TZipWriter::PutInPlace(TZipWriteRun& run) {
    archive_.Close();
    PassRunPoint("writer-before-rename");
    std::string keepAs;
    if (OnArchiveReady) {
        OnArchiveReady(*this, run.outputPath, keepAs);
    }
    if (!keepAs.empty()) {
        KeepRefused(run, keepAs);
    }
    if (!commit_->Rename(run.outputPath, zipName_)) {
        throw EZipError("Cannot put the new archive in place of " + zipName_ + ": " +
                        SystemError());
    }
    run.finished = true;
    // Everything written is already on the disk; closing only drops the lock.
    run.output.Close();
    if (!commit_->SyncDirectory(FolderOf(zipName_))) {
        throw EZipError(zipName_ +
                        " was written, but the system could not confirm that it is "
                        "on the disk: " +
                        SystemError());
    }
}

// The refused archive is the host's to judge (a damaged backup is still
// worth a look), so it is moved, not dropped; the old archive keeps the name.
void TZipWriter::KeepRefused(TZipWriteRun& run, const std::string& keepAs) {
    if (!commit_->Rename(run.outputPath, keepAs)) {
        const int error = errno;
        throw EArchiveRefused("The new archive was refused its name " + zipName_ +
                                  " and could not be kept as " + keepAs + ": " +
                                  std::strerror(error),
                              {}, error);
    }
    run.finished = true;
    run.output.Close();
    commit_->SyncDirectory(FolderOf(keepAs));
    throw EArchiveRefused(
        "The new archive was refused its name " + zipName_ + " and kept as " + keepAs, keepAs, 0);
}

void TZipWriter::AdoptNewDirectory(TZipWriteRun& run) {
    archive_.Close();
    AdoptDirectory(std::move(run.entries), run.endCentral);
}

void TZipWriter::DisposeFiles(const TZipWriteRun& run) {
    for (const auto& path : run.disposeList) {
        bool skip = false;
        if (OnDisposeFile) {
            OnDisposeFile(*this, path, skip);
        }
        if (!skip) {
            DeleteFile(path);
        }
    }
}

void TZipWriter::Abandon(TZipWriteRun& run) noexcept {
    run.input.Close();
    run.output.Close();
    if (!run.finished && !run.outputPath.empty()) {
        DeleteFile(run.outputPath);
    }
}

} // namespace mzb
