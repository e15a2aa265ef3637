#include "zip/writer/ZipWriter.h"

#include "zip/base/ZipError.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"
#include "zip/writer/DirSearch.h"
#include "zip/writer/ZipWriteRun.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

// Copies one whole file into another, created or truncated.
bool CopyFileContents(const std::string& from, const std::string& to) {
    TFileStream in;
    TFileStream out;
    if (!in.Open(from, TFileMode::Read) || !out.Open(to, TFileMode::Create)) {
        return false;
    }
    std::vector<std::uint8_t> buffer(TZipWriteRun::kCopyBufferSize);
    for (;;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (out.Write(buffer.data(), got) != got) {
            return false;
        }
    }
    return in.LastError() == 0 && out.Close();
}

} // namespace

TZipWriter::TZipWriter(THostServices& host, TZipLimits limits, TFillerSource filler)
    : TZipReader(host), limits_(limits), filler_(std::move(filler)) {}

TZipWriter::~TZipWriter() = default;

// --- settings -----------------------------------------------------------------

void TZipWriter::SetZipName(const std::string& name) {
    if (name == zipName_) {
        return;
    }
    // A comment set for the archive named so far would otherwise be lost.
    // Only an archive that exists can take it: making one up just for the
    // comment would leave a file nobody asked for.
    if (endCentral_.CommentChanged && !zipName_.empty() && FileExists(zipName_)) {
        std::vector<std::string> pending = std::exchange(filesList_, {});
        try {
            Run();
        } catch (...) {
            filesList_ = std::move(pending);
            throw;
        }
        filesList_ = std::move(pending);
    }
    endCentral_.CommentChanged = false;
    TZipReader::SetZipName(name);
}

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

int TZipWriter::RunZip() {
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
        // Before the output exists, so that a temporary file in a directory
        // being backed up is never added to itself.
        if (FileExists(zipName_)) {
            run.rewriting = true;
            EnsureDirectory();
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
        if (run.rewriting) {
            CarryOver(run);
        }
        AddListedFiles(run);
        WriteCentralDirectory(run);
        CloseOutput(run);
        if (run.rewriting) {
            ReplaceArchive(run);
        }
        run.finished = true;
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
    totalBytes_ = ExpandFilesList(filesList_, settings);
    run.itemTaken.assign(filesList_.size(), false);
}

void TZipWriter::OpenOutput(TZipWriteRun& run) {
    std::string path = zipName_;
    if (run.rewriting) {
        const std::string dir = !TempPath.empty() && DirectoryExists(TempPath)
                                    ? WithTrailingSeparator(TempPath)
                                    : TempDirectory();
        path = CreateTempFile(dir, "ZBK");
        if (path.empty()) {
            throw EZipError("Cannot create a temporary file in " + dir + ": " + SystemError());
        }
        // Named now, so that a failure to open it still removes it.
        run.outputPath = path;
    }
    if (!run.output.Open(path, TFileMode::Create)) {
        throw EZipError("Cannot create " + path + ": " + SystemError());
    }
    run.outputPath = path;
    run.entries = std::make_unique<TSortedZip>(TZipSortMode::ByNone, TDuplicates::Error, true);
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
            plan.push_back({item, KindOfItem(item) != TFileItemKind::Directory &&
                                      CompressesFile(FileNamePart(item))});
        }
    }
    Pipeline(run).Plan(std::move(plan));
    for (std::size_t i = 0; i < filesList_.size(); ++i) {
        if (!run.itemTaken[i]) {
            AddItem(run, filesList_[i]);
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
        entry.CentralExtraLength = 0;
        if (!entry.WriteCentralHeader(run.output)) {
            throw ENotEnoughRoom("Not enough room to write archive");
        }
        CheckArchiveRoom(run, 0);
    }
    end.CentralSize = run.output.Position() - end.CentralOffset;
    end.ThisDisk = 0;
    end.EntriesThisDisk = run.entries->Count();
    end.TotalEntries = run.entries->Count();
    CheckArchiveRoom(run, end.RecordSize());
    end.CommentPosition = run.output.Position() + kEndCentralSize;
    if (!end.Write(run.output)) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
}

void TZipWriter::CloseOutput(TZipWriteRun& run) {
    // An entry taken back may have left bytes beyond the end record.
    const std::uint64_t end = run.output.Position();
    const bool written = run.output.Flush() &&
                         ::ftruncate(run.output.Descriptor(), static_cast<off_t>(end)) == 0 &&
                         (!FlushFilesOnClose || run.output.Sync());
    if (!run.output.Close() || !written) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
}

// The old archive goes only once the new one stands in its place: a rename
// on the same file system replaces it in one step; elsewhere the old one is
// moved aside while the new one is copied, and comes back if the copy fails.
void TZipWriter::ReplaceArchive(TZipWriteRun& run) {
    archive_.Close();
    struct stat old {};
    if (::stat(zipName_.c_str(), &old) == 0) {
        ::chmod(run.outputPath.c_str(), old.st_mode & 0777);
    }
    if (RenameFile(run.outputPath, zipName_)) {
        return;
    }
    const std::string aside = zipName_ + "$$$";
    const bool movedAside = RenameFile(zipName_, aside);
    if (CopyFileContents(run.outputPath, zipName_)) {
        if (movedAside) {
            DeleteFile(aside);
        }
        DeleteFile(run.outputPath);
        return;
    }
    CopyBack(run, movedAside ? aside : std::string());
}

void TZipWriter::CopyBack(TZipWriteRun& run, const std::string& aside) {
    std::string oldArchive;
    if (!aside.empty()) {
        DeleteFile(zipName_);
        oldArchive = RenameFile(aside, zipName_) ? zipName_ : aside;
    }
    run.keepOutput = true;
    host_.MessageBox("Could not copy from " + run.outputPath + " -> " + zipName_, "Error",
                     TMessageKind::Error, TMessageButtons::Ok);
    std::string text = "The new archive could not be put in place of " + zipName_ +
                       "; it is kept as " + run.outputPath;
    if (!oldArchive.empty()) {
        text += ", and the old archive is " + oldArchive;
    }
    throw EZipError(text);
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
    if (!run.finished && !run.keepOutput && !run.outputPath.empty()) {
        DeleteFile(run.outputPath);
    }
}

} // namespace mzb
