// The extraction run: choosing the entries, and for each one the checks,
// the decision about an existing file, decoding into a temporary file
// beside the output and, once the CRC-32 proves it whole, putting it in
// place. An existing file is only ever replaced by a complete, verified
// one: a damaged entry or a failed run leaves it as it was.
#include "zip/base/ByteOrder.h"
#include "zip/base/RunPoint.h"
#include "zip/base/Wildcard.h"
#include "zip/base/ZipError.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/format/StoredName.h"
#include "zip/io/FileSystem.h"
#include "zip/io/OutputFolder.h"
#include "zip/io/OutputPath.h"
#include "zip/io/PartFile.h"
#include "zip/io/PathName.h"
#include "zip/reader/DecodeAhead.h"
#include "zip/reader/EntryDecoder.h"
#include "zip/reader/EntryStreams.h"
#include "zip/reader/FolderTimes.h"
#include "zip/reader/ZipReader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace mzb {

struct TExtractionRun {
    TExtractionRun(TZipReader& reader, TFileStream& archive)
        : input(archive, [&reader] { reader.CheckForCancel(); }),
          output([&reader](int filePercent, int totalPercent) {
              if (filePercent >= 50) {
                  PassRunPoint("extract-mid-entry");
              }
              if (reader.OnFilePercentDone) {
                  reader.OnFilePercentDone(reader, filePercent);
              }
              if (reader.OnTotalPercentDone) {
                  reader.OnTotalPercentDone(reader, totalPercent);
              }
              // Highly compressed data gives many blocks for one read of
              // input: the host gets its turn after each block too.
              reader.CheckForCancel();
          }) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        umaskBits = mask;
        createMode = 0666 & ~mask;
        // Ordinary users get what the archive says as far as their umask
        // allows, as other extractors give them; root gets it whole, so a
        // system restore puts the modes back as they were.
        modeMask = ::geteuid() == 0 ? 0 : mask;
    }

    TEntryDecoder decoder;
    TEntryInput input;
    TEntryOutput output;
    std::unique_ptr<TEntryCipher> cipher; // of the entry decoded here
    int fileCount = 0;
    mode_t umaskBits = 022;
    mode_t createMode = 0644;
    mode_t modeMask = 0;
    // The destination, or the root for the original places; made for a run
    // that writes.
    std::unique_ptr<TOutputTree> tree;
    // With more than one thread: entries decoding on the workers, from
    // `nextAhead` on still to be handed to them, and the block being written.
    std::unique_ptr<TDecodeAhead> ahead;
    int nextAhead = 0;
    std::vector<std::uint8_t> block;
    // The stored folder of the last entry found fit to be made ahead.
    std::string madeAheadIn;
    // Folders already rid of part files a killed run left behind, by path.
    std::unordered_set<std::string> cleanedFolders;
    TFolderTimes folderTimes;
};

namespace {

// Each entry is decoded into a part file of this name beside its output.
constexpr const char* kPartPrefix = ".mzb-part-";

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Restores the settings a run changes for its own length.
class RunScope {
public:
    explicit RunScope(bool& keepOpen) : keepOpen_(keepOpen), saved_(keepOpen) { keepOpen_ = true; }
    ~RunScope() { keepOpen_ = saved_; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    bool& keepOpen_;
    bool saved_;
};

// The job decoded ahead for one entry, taken for the length of its
// extraction and stopped unless written to its end.
class TTakenJob {
public:
    TTakenJob(TDecodeAhead* ahead, int index)
        : ahead_(ahead), job_(ahead ? ahead->Take(index) : nullptr) {}
    ~TTakenJob() { Drop(); }
    TTakenJob(const TTakenJob&) = delete;
    TTakenJob& operator=(const TTakenJob&) = delete;

    TDecodeJob* operator->() const { return job_.get(); }
    TDecodeJob& operator*() const { return *job_; }
    explicit operator bool() const { return job_ != nullptr; }
    void Drop() {
        if (job_) {
            ahead_->Stop(*job_);
            job_.reset();
        }
    }

private:
    TDecodeAhead* ahead_;
    std::shared_ptr<TDecodeJob> job_;
};

} // namespace

void TZipReader::RefuseWhileBusy() const {
    if (busy_) {
        throw ERunUnderWay("A run is still working on " + zipName_ +
                           "; another cannot start until it ends.");
    }
}

TZipReader::TRunUnderWay::TRunUnderWay(TZipReader& component) : component_(component) {
    component_.RefuseWhileBusy();
    component_.busy_ = true;
}

int TZipReader::RunUnZip() {
    const TRunUnderWay running(*this);
    if (destDir_ == "?") {
        return 0;
    }
    cancelRequested_ = false;
    // Also after an error: nothing of this run reaches the next one, and no
    // descriptor keeps an archive (or the disk it is on) held meanwhile.
    struct Idle {
        TZipReader& r;
        ~Idle() {
            r.cancelRequested_ = false;
            r.CloseArchiveFileUnlessKept();
        }
    } idle{*this};
    OpenArchive();
    EnsureDirectory();
    return ExtractAll();
}

bool TZipReader::IsChosen(const TZipHeaderInfo& entry) const {
    if (DoAll) {
        return true;
    }
    if (entry.FileName().empty() && !RecreateDirs) {
        return false;
    }
    const std::string name = Lowercase(entry.Directory() + entry.FileName());
    return std::any_of(filesList_.begin(), filesList_.end(),
                       [&](const std::string& p) { return MatchesMask(Lowercase(p), name); });
}

TOutputPathRules TZipReader::OutputRules() const {
    return {destDir_, rootDir_, RecreateDirs, OriginalRoot};
}

std::optional<std::string> TZipReader::OutputPathOfEntry(const TZipHeaderInfo& entry) const {
    return OutputPathOf(OutputRules(), entry.Directory(), entry.FileName(),
                        IsDosHost(entry.VersionMadeBy));
}

int TZipReader::SelectEntries(std::uint64_t& totalBytes) {
    totalBytes = 0;
    int numFiles = EntryCount();
    for (int i = 0; i < EntryCount(); ++i) {
        auto& e = const_cast<TZipHeaderInfo&>(Entry(i));
        e.Matched = IsChosen(e);
        if (e.Matched && !e.FileName().empty()) {
            totalBytes += e.UncompressedSize;
        }
        if (!e.Matched || e.FileName().empty()) {
            --numFiles;
        }
    }
    return numFiles;
}

int TZipReader::ExtractAll() {
    cancelRequested_ = false;
    RunScope scope(KeepZipOpen);
    auto run = std::make_unique<TExtractionRun>(*this, archive_);
    try {
        if (!TestOnly) {
            // The destination is the user's to name, a link included; only
            // what lies below it is walked with care.
            const std::string& base = destDir_.empty() ? OriginalRoot : destDir_;
            if (!base.empty() && !DirectoryExists(base)) {
                ForceDirectories(base);
            }
            run->tree = std::make_unique<TOutputTree>(
                base, destDir_.empty() ? TLinkRule::FollowTrusted : TLinkRule::Refuse,
                TrustedUser.value_or(::geteuid()));
        }
        std::uint64_t totalBytes = 0;
        const int numFiles = SelectEntries(totalBytes);
        run->output.StartRun(totalBytes);
        bool stopNow = false;
        if (OnStartUnZipInfo) {
            OnStartUnZipInfo(*this, numFiles, totalBytes, stopNow);
        }
        // NumFiles counts files only; directory entries are restored even
        // when nothing else is, or an archive of empty folders would
        // restore nothing.
        bool anyChosen = false;
        for (int i = 0; i < EntryCount() && !anyChosen; ++i) {
            anyChosen = DoAll || Entry(i).Matched;
        }
        if (anyChosen && !stopNow) {
            if (Threads > 1 && !TestOnly) {
                run->ahead = std::make_unique<TDecodeAhead>(Threads, archive_.Descriptor());
            }
            for (int i = 0; i < EntryCount(); ++i) {
                if (!DoAll && !Entry(i).Matched) {
                    continue;
                }
                if (run->ahead) {
                    DecodeAhead(*run, i);
                }
                bool retry = false;
                do {
                    retry = false;
                    ExtractEntry(i, *run, retry);
                } while (retry);
            }
        }
    } catch (...) {
        filesList_.clear();
        const int count = run->fileCount;
        // The entry left undone has taken its part file away, which changed
        // its folder's time; workers hold no files.
        ApplyFolderTimes(*run);
        run.reset();
        if (OnUnZipComplete) {
            OnUnZipComplete(*this, count);
        }
        throw;
    }
    filesList_.clear();
    const int count = run->fileCount;
    ApplyFolderTimes(*run);
    run.reset();
    if (OnUnZipComplete) {
        OnUnZipComplete(*this, count);
    }
    return count;
}

void TZipReader::Skip(int reason, const std::string& name, int index, TExtractionRun& run,
                      std::uint64_t size, bool& retry, int error) {
    skipError_ = error;
    if (OnSkippingFile) {
        OnSkippingFile(*this, reason, name, index, retry);
    }
    skipError_ = 0;
    run.output.RemoveFromTotal(size);
}

// The folder an output goes into, reached as OutputFolder.h describes: no
// link is followed below the destination; in the original places, and
// wherever an OnStartUnZip handler moved the output, only trusted ones.
TFolderReached TZipReader::ReachFolder(const std::string& path, TExtractionRun& run,
                                       bool create) const {
    const std::string base = TreeBase();
    if (path.starts_with(base)) {
        return run.tree->Reach(DirectoryPart(std::string_view(path).substr(base.size())), create);
    }
    const bool absolute = path.starts_with('/');
    TOutputTree elsewhere(absolute ? "/" : "", TLinkRule::FollowTrusted,
                          TrustedUser.value_or(::geteuid()));
    TFolderReached reached = elsewhere.Reach(DirectoryPart(path), create);
    // Files made ahead belong to the run's tree.
    reached.OfBase = false;
    return reached;
}

// Where the run's tree starts: the destination, or the root for the original places.
std::string TZipReader::TreeBase() const {
    return WithTrailingSeparator(destDir_.empty() ? OriginalRoot : destDir_);
}

// Each folder is reached again as its files were, so a folder swapped for a
// link since then gives its time to nothing else.
void TZipReader::ApplyFolderTimes(TExtractionRun& run) const {
    run.folderTimes.Apply([&](const std::string& folder, TFileTime time) {
        if (const TFolderReached reached = ReachFolder(folder, run, false); reached.Folder) {
            SetOpenFileWriteTime(reached.Folder->Descriptor(), time);
        }
    });
}

// False, after reporting why the entry's folder could not be reached.
bool TZipReader::SkipUnreached(const TFolderReached& reached, int index, const std::string& fname,
                               TExtractionRun& run, std::uint64_t size, bool& retry) {
    if (reached.Link.empty()) {
        Skip(kSkipCannotCreate, fname, index, run, size, retry, reached.Error);
        return false;
    }
    linkInTheWay_ = reached.Link;
    Skip(kSkipLinkInTheWay, fname, index, run, size, retry);
    linkInTheWay_.clear();
    return false;
}

namespace {

// Decoding a few KiB takes less than handing them to a worker and waiting
// for it, and a tree of tiny files would pay that per file. An encrypted
// entry goes to the workers whatever its size: its key may take thousands
// of hash rounds.
constexpr std::uint64_t kDecodedHereBelow = 8192;

bool DecodedHere(const TZipHeaderInfo& entry) {
    return !entry.IsEncrypted() && entry.CompressedSize < kDecodedHereBelow &&
           entry.UncompressedSize < kDecodedHereBelow;
}

} // namespace

// Making a small file costs the kernel more than decoding it: a worker may
// do both, the file made without a name in the base, where a file of a
// folder the run made below it would have been made alike. Judged by the
// entry's stored path; the run checks the folder it reaches.
bool TZipReader::MayMakeAhead(const TZipHeaderInfo& entry, TExtractionRun& run) const {
    if (run.tree->BaseDescriptor() < 0) {
        return false;
    }
    if (!run.madeAheadIn.empty() && entry.Directory() == run.madeAheadIn) {
        return true;
    }
    const auto path = OutputPathOfEntry(entry);
    const std::string base = TreeBase();
    if (!path || !path->starts_with(base) ||
        !run.tree->MadeFromBase(DirectoryPart(std::string_view(*path).substr(base.size())))) {
        return false;
    }
    run.madeAheadIn = entry.Directory();
    return true;
}

// Hands the chosen entries from the one at hand on to the workers, as many
// as they may hold ahead: those whose data lies where it should, whose
// method is known, which are small enough to be made ahead or too large to
// be decoded here at once, and which, when encrypted, open with the password
// in force. The others wait for the run, which decodes them itself. A cipher
// whose keys take thousands of hash rounds has its password checked on the
// worker; one that checks cheaply, here. Entries are looked at only a short
// way ahead: whether a small one may be made ahead depends on the folders
// the run has made by then.
void TZipReader::DecodeAhead(TExtractionRun& run, int from) {
    constexpr int kEntriesLookedAhead = 256;
    run.nextAhead = std::max(run.nextAhead, from);
    if (!run.ahead->Wanting()) {
        return;
    }
    const int end = from + std::min(kEntriesLookedAhead, EntryCount() - from);
    for (; run.nextAhead < end && !run.ahead->Full(); ++run.nextAhead) {
        const TZipHeaderInfo& entry = Entry(run.nextAhead);
        if ((!DoAll && !entry.Matched) || entry.FileName().empty() ||
            !TEntryDecoder::IsKnownMethod(entry.DataMethod())) {
            continue;
        }
        const bool makeAhead = DecodedHere(entry);
        if (makeAhead && !MayMakeAhead(entry, run)) {
            continue;
        }
        auto cipher = entry.IsEncrypted() ? CipherForReading(entry, ArchivePassword) : nullptr;
        const auto place = PlaceOfData(entry, cipher.get());
        if (!place || place->cutOff) {
            continue;
        }
        auto job = std::make_shared<TDecodeJob>();
        job->index = run.nextAhead;
        job->work.Assign(entry);
        job->headerStart = place->start;
        job->dataStart = place->start;
        job->dataSize = entry.CompressedSize;
        if (makeAhead) {
            job->makeIn = run.tree->BaseDescriptor();
            job->mode = OutputMode(entry, run);
        }
        if (cipher) {
            job->checkPassword = cipher->DerivesKeys();
            if (!job->checkPassword && !OpensWith(*cipher, place->start)) {
                continue;
            }
            job->password = ArchivePassword;
            job->dataStart += cipher->HeaderSize();
            job->dataSize -= cipher->HeaderSize() + cipher->TrailerSize();
            job->cipher = std::move(cipher);
        }
        run.ahead->Submit(std::move(job));
        // Each look ahead reads headers here: the host gets its turn between them.
        CheckForCancel();
    }
    run.ahead->Dispatch();
}

std::optional<TZipReader::TDataPlace> TZipReader::PlaceOfData(const TZipHeaderInfo& work,
                                                              const TEntryCipher* cipher) {
    // The local header must be where the directory says.
    std::uint8_t local[kLocalHeaderSize];
    if (!archive_.Seek(work.RelativeOffset) || archive_.Read(local, sizeof local) != sizeof local ||
        GetLE32(local) != kLocalHeaderSignature) {
        return std::nullopt;
    }
    TDataPlace place;
    place.start =
        work.RelativeOffset + kLocalHeaderSize + GetLE16(local + 26) + GetLE16(local + 28);
    // A cipher this engine does not know, or data too short to hold what
    // the cipher puts around it, cannot be decrypted.
    if (work.IsEncrypted() &&
        (!cipher || work.CompressedSize < cipher->HeaderSize() + cipher->TrailerSize())) {
        return std::nullopt;
    }
    // The data must end before the next entry or the directory begins;
    // compared, not added: a ZIP64 size can be near 2^64. Data that only
    // runs past the end of the file is cut off, which decoding reports.
    const std::uint64_t limit = DataLimitOf(work);
    if (place.start > limit) {
        return std::nullopt;
    }
    if (work.CompressedSize > limit - place.start) {
        if (limit != archiveSize_) {
            return std::nullopt;
        }
        place.cutOff = true;
    }
    return place;
}

bool TZipReader::ExtractEntry(int index, TExtractionRun& run, bool& retry) {
    TZipHeaderInfo work;
    work.Assign(Entry(index));
    const std::string storedName = work.Directory() + work.FileName();
    const bool isFile = !work.FileName().empty();
    const auto path = OutputPathOfEntry(work);

    if (!isFile) {
        if (!path) {
            Skip(kSkipUnsafe, storedName, index, run, 0, retry);
            return false;
        }
        if (RecreateDirs && !TestOnly && !path->empty()) {
            const TFolderReached made = ReachFolder(*path, run, true);
            if (!made.Link.empty()) {
                return SkipUnreached(made, index, *path, run, 0, retry);
            }
            if (const auto when = work.ModificationTime(); made.Folder && when) {
                run.folderTimes.Remember(*path, *when);
            }
        }
        ++run.fileCount;
        return true;
    }

    TTakenJob job(run.ahead.get(), index);
    // A file made ahead that did not come out whole is made here again,
    // where what failed is met and reported in its turn.
    if (job && job->MakesFile() && !run.ahead->FileMade(*job, [this] { CheckForCancel(); })) {
        job.Drop();
    }
    // Made for the place of the data; the password is checked below.
    run.cipher = !job && work.IsEncrypted() ? CipherForReading(work, ArchivePassword) : nullptr;
    const auto place = job ? std::optional<TDataPlace>({job->headerStart, false})
                           : PlaceOfData(work, run.cipher.get());
    if (!path || !place) {
        Skip(kSkipUnsafe, storedName, index, run, work.UncompressedSize, retry);
        return false;
    }
    const std::uint64_t dataStart = place->start;

    std::string fname = *path;
    bool skip = false;
    if (OnStartUnZip) {
        OnStartUnZip(*this, index, fname, skip);
        if (skip) {
            return false;
        }
    }
    // Reached afresh for every entry: a folder swapped for a link since the
    // last one is found, not written through.
    TPartInFolder part;
    bool freshFolder = false;
    if (!TestOnly) {
        const TFolderReached reached = ReachFolder(fname, run, true);
        if (!reached.Folder) {
            return SkipUnreached(reached, index, fname, run, work.UncompressedSize, retry);
        }
        part.Folder = reached.Folder;
        part.Name = FileNamePart(fname);
        freshFolder = reached.Made;
        if (job && job->MakesFile() && !reached.OfBase) {
            job.Drop();
        }
    }

    if (work.IsEncrypted()) {
        // Decoded ahead with the password in force, the password has been
        // checked already or is being checked on the worker; with any other,
        // it is checked now.
        if (job && job->password == ArchivePassword && !run.ahead->PasswordOpens(*job)) {
            job.Drop();
            if (!NewPasswordAfterBadCheck(index, work, run, retry)) {
                return false;
            }
        }
        if (!job || job->password != ArchivePassword) {
            job.Drop();
            if (!CheckPassword(index, work, dataStart, run, retry)) {
                return false;
            }
        }
    }
    // Decoded here, the data lies between the run's cipher's header and trailer.
    const std::uint64_t headerSize = run.cipher ? run.cipher->HeaderSize() : 0;
    const std::uint64_t dataSize =
        work.CompressedSize - headerSize - (run.cipher ? run.cipher->TrailerSize() : 0);

    if (TestOnly) {
        return TestEntry(index, work, dataStart + headerSize, dataSize, run, retry);
    }
    // In a folder this run made, a name is taken only when the archive holds
    // it twice or someone else put something there meanwhile: what stands
    // there is judged when the new file's link finds it, not looked for
    // before every file.
    if (!freshFolder && !MayReplace(index, work, fname, part, run, work.UncompressedSize, retry)) {
        return false;
    }
    // Left behind by a run that died, never in a folder made by this one.
    if (!freshFolder && run.cleanedFolders.insert(part.Folder->Path()).second) {
        RemoveStalePartsAt(part.Folder->Descriptor(), kPartPrefix);
    }
    // The part file is kept open, and its time and mode are set through the
    // descriptor: no name is looked up again before it takes its place.
    TFileStream out;
    if (job && job->MakesFile()) {
        out = std::move(job->made);
        part.Adopt(out.Descriptor(), kPartPrefix);
    } else {
        const int fd = part.Create(kPartPrefix, OutputMode(work, run));
        if (fd < 0) {
            Skip(kSkipCannotCreate, fname, index, run, work.UncompressedSize, retry, errno);
            return false;
        }
        out.AttachCreated(fd);
    }
    // A part file takes the name by a rename that replaces what it finds.
    part.Judged = !freshFolder;
    if (!part.Judged && !part.Unnamed()) {
        if (!MayReplace(index, work, fname, part, run, work.UncompressedSize, retry)) {
            out.Close();
            part.Discard();
            return false;
        }
        part.Judged = true;
    }

    TEntryVerdict verdict = TEntryVerdict::Damaged;
    try {
        verdict = job ? WriteDecoded(*job, run, out)
                      : DecodeEntry(work, dataStart + headerSize, dataSize, run, &out);
    } catch (...) {
        out.Close();
        part.Discard();
        if (run.output.WriteError() != 0) {
            throw ECantWriteUCF("Cant write uncompressed file", fname, run.output.WriteError());
        }
        throw;
    }
    // The inflate decoder takes a write that fell short for damaged data:
    // the entry is not damaged, the disk refused it (full, most often).
    if (run.output.WriteError() != 0) {
        out.Close();
        part.Discard();
        throw ECantWriteUCF("Cant write uncompressed file", fname, run.output.WriteError());
    }
    const bool written = FlushFilesOnClose ? out.Sync() : out.Flush();
    // A worker keeps the CRC-32 of what it decoded.
    const std::uint32_t crc = job ? job->crc : run.output.Crc32();
    return FinishEntry(index, work, fname, part, out, crc, verdict, written, run, retry);
}

// Writes the blocks a worker decodes for the entry as they come, each with
// its progress events and the host's turn (a file the worker made has its
// bytes counted only), and gives the worker's verdict.
TEntryVerdict TZipReader::WriteDecoded(TDecodeJob& job, TExtractionRun& run, TFileStream& out) {
    run.output.Start(&out, job.work.UncompressedSize);
    if (job.MakesFile()) {
        run.output.Account(job.size);
        return job.Verdict();
    }
    while (run.ahead->NextBlock(job, run.block, [this] { CheckForCancel(); })) {
        run.output.Put(run.block.data(), run.block.size());
    }
    if (job.error) {
        std::rethrow_exception(job.error);
    }
    return job.Verdict();
}

// The decoded part file gets the entry's time and mode and takes the
// output's place, or goes when the data did not verify.
bool TZipReader::FinishEntry(int index, const TZipHeaderInfo& work, const std::string& fname,
                             TPartInFolder& part, TFileStream& out, std::uint32_t crc,
                             TEntryVerdict verdict, bool written, TExtractionRun& run,
                             bool& retry) {
    const bool verified = verdict == TEntryVerdict::Good;
    bool placed = false;
    int placeError = 0;
    if (written && verified) {
        const int fd = out.Descriptor();
        if (const auto when = work.ModificationTime()) {
            SetOpenFileWriteTime(fd, *when);
        }
        // An unnamed file was made with its mode, which the umask may have
        // narrowed only for root.
        const mode_t mode = OutputMode(work, run);
        if (!part.Unnamed() || (mode & run.umaskBits) != 0) {
            ::fchmod(fd, mode);
        }
        // Closing an unnamed file would take it away.
        if (part.Unnamed()) {
            placed = part.Judged ? part.PutInPlace() : part.TakeFreeName();
            placeError = errno;
            if (!placed && placeError == EEXIST && !part.Judged) {
                // Its bytes are done: the run's total keeps them.
                if (!MayReplace(index, work, fname, part, run, 0, retry)) {
                    out.Close();
                    return false;
                }
                placed = part.PutInPlace();
                placeError = errno;
            }
        }
    }
    const bool closed = out.Close();
    if (!closed || !written) {
        part.Discard();
        throw ECantWriteUCF("Cant write uncompressed file", fname,
                            out.LastError() != 0 ? out.LastError() : EIO);
    }
    if (!verified) {
        part.Discard();
        ReportBadEntry(index, work, verdict, crc, retry);
        return false;
    }
    if (!part.Unnamed()) {
        placed = part.PutInPlace();
        placeError = errno;
    }
    if (!placed) {
        part.Discard();
        Skip(kSkipCannotCreate, fname, index, run, work.UncompressedSize, retry, placeError);
        return false;
    }
    if (OnEndUnZip) {
        OnEndUnZip(*this, index, fname);
    }
    ++run.fileCount;
    return true;
}

// Judges what stands at the output's name; false, after reporting why,
// when it keeps the entry out: the overwrite mode says no, or it is a
// folder, or read-only and not to be replaced. `size` leaves the run's
// total with the entry.
bool TZipReader::MayReplace(int index, const TZipHeaderInfo& work, const std::string& fname,
                            const TPartInFolder& part, TExtractionRun& run, std::uint64_t size,
                            bool& retry) {
    const auto existing = FileInfoAt(part.Folder->Descriptor(), part.Name);
    if (!MayOverwrite(index, work, fname, existing)) {
        Skip(kSkipNotOverwritten, fname, index, run, size, retry);
        return false;
    }
    const bool readOnly = existing && (existing->Attributes & kAttrReadOnly) != 0;
    if (existing && (existing->IsDirectory() || (readOnly && !ReplaceReadOnly))) {
        Skip(kSkipCannotCreate, fname, index, run, size, retry,
             existing->IsDirectory() ? EISDIR : EACCES);
        return false;
    }
    return true;
}

// The mode an output gets: the stored one as far as the run lets it through.
unsigned TZipReader::OutputMode(const TZipHeaderInfo& work, const TExtractionRun& run) const {
    if (!RetainAttributes) {
        return run.createMode;
    }
    const bool unixHost = (work.VersionMadeBy >> 8) == kHostUnix;
    const std::uint32_t attributes =
        unixHost ? work.ExternalAttributes : work.ExternalAttributes & 0xFFFFu;
    return PermissionsFromAttributes(run.createMode, attributes) & ~run.modeMask;
}

bool TZipReader::TestEntry(int index, const TZipHeaderInfo& work, std::uint64_t dataStart,
                           std::uint64_t dataSize, TExtractionRun& run, bool& retry) {
    const TEntryVerdict verdict = DecodeEntry(work, dataStart, dataSize, run, nullptr);
    if (verdict != TEntryVerdict::Good) {
        ReportBadEntry(index, work, verdict, run.output.Crc32(), retry);
        return false;
    }
    if (OnEndUnZip) {
        OnEndUnZip(*this, index, work.Directory() + work.FileName());
    }
    ++run.fileCount;
    return true;
}

// Decodes the data at dataStart (after any encryption header) with the
// run's cipher. Errors that end the run pass through.
TEntryVerdict TZipReader::DecodeEntry(const TZipHeaderInfo& work, std::uint64_t dataStart,
                                      std::uint64_t dataSize, TExtractionRun& run,
                                      TFileStream* out) {
    const TEntryCoding coding{work.DataMethod(), work.Flags, dataSize, work.UncompressedSize};
    archive_.Seek(dataStart);
    run.input.Start(dataSize, run.cipher.get());
    run.output.Start(out, work.UncompressedSize);
    TDecodeResult result = TDecodeResult::DataError;
    bool tooLarge = false;
    try {
        result = run.decoder.Decode(coding, run.input, run.output);
    } catch (const EBiggerThanUncompressed&) {
        tooLarge = true;
    }
    if (result == TDecodeResult::UnknownMethod) {
        host_.MessageBox("Unknown Compression Method", "Zip Error", TMessageKind::Error,
                         TMessageButtons::Ok);
    }
    const bool authentic = run.input.Authenticate();
    return JudgeEntry(run.cipher.get(), authentic, !tooLarge && result == TDecodeResult::Complete,
                      run.output.Crc32(), work.Crc32, run.output.Written(), work.UncompressedSize);
}

void TZipReader::ReportBadEntry(int index, const TZipHeaderInfo& work, TEntryVerdict verdict,
                                std::uint32_t crc, bool& retry) {
    if (verdict == TEntryVerdict::NotAuthentic) {
        if (OnSkippingFile) {
            OnSkippingFile(*this, kSkipNotAuthentic, work.Directory() + work.FileName(), index,
                           retry);
        }
    } else if (verdict == TEntryVerdict::PasswordSuspect) {
        std::string newPassword = ArchivePassword;
        if (OnBadPassword) {
            OnBadPassword(*this, index, newPassword);
        }
        if (newPassword != ArchivePassword) {
            ArchivePassword = newPassword;
            retry = true;
        } else if (OnSkippingFile) {
            OnSkippingFile(*this, kSkipBadPassword, work.Directory() + work.FileName(), index,
                           retry);
        }
    } else if (OnBadCRC) {
        OnBadCRC(*this, crc, work.Crc32, index);
    }
}

// Reads the entry's encryption header at `headerStart` into `cipher` (made
// from the password to try): true when the password opens the entry, the
// cipher then ready for the data.
bool TZipReader::OpensWith(TEntryCipher& cipher, std::uint64_t headerStart) {
    std::vector<std::uint8_t> header(cipher.HeaderSize());
    if (!archive_.Seek(headerStart) ||
        archive_.Read(header.data(), header.size()) != header.size()) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    return cipher.CheckPassword(header.data());
}

// Leaves the run's cipher ready for the data, made anew for each password
// that OnBadPassword gives. False when the entry is to be skipped.
bool TZipReader::CheckPassword(int index, const TZipHeaderInfo& work, std::uint64_t headerStart,
                               TExtractionRun& run, bool& retry) {
    for (;;) {
        run.cipher = CipherForReading(work, ArchivePassword);
        if (OpensWith(*run.cipher, headerStart)) {
            return true;
        }
        if (!NewPasswordAfterBadCheck(index, work, run, retry)) {
            run.cipher.reset();
            return false;
        }
    }
}

// OnBadPassword may answer a failed password check with a new password
// (true: try again with it); otherwise the entry is skipped.
bool TZipReader::NewPasswordAfterBadCheck(int index, const TZipHeaderInfo& work,
                                          TExtractionRun& run, bool& retry) {
    std::string newPassword = ArchivePassword;
    if (OnBadPassword) {
        OnBadPassword(*this, index, newPassword);
    }
    if (newPassword == ArchivePassword) {
        Skip(kSkipBadPassword, work.Directory() + work.FileName(), index, run,
             work.UncompressedSize, retry);
        return false;
    }
    ArchivePassword = newPassword;
    return true;
}

bool TZipReader::MayOverwrite(int index, const TZipHeaderInfo& work, const std::string& path,
                              const std::optional<FileInfo>& existing) {
    // A link counts as an existing file even when it points nowhere; a
    // directory does not (it blocks the entry later).
    if (OverwriteMode == TUZOverwriteMode::Always) {
        return true;
    }
    if (!existing || existing->IsDirectory()) {
        return true;
    }
    switch (OverwriteMode) {
    case TUZOverwriteMode::Always:
        return true;
    case TUZOverwriteMode::Prompt:
        if (OnPromptForOverwrite) {
            bool overwrite = false;
            OnPromptForOverwrite(*this, overwrite, index, path);
            return overwrite;
        }
        return host_.MessageBox("Replace existing file " + work.FileName() + "?",
                                "File Exists Alert", TMessageKind::Question,
                                TMessageButtons::YesNo) == TMessageAnswer::Yes;
    case TUZOverwriteMode::Never:
        return false;
    case TUZOverwriteMode::ifNewer:
    case TUZOverwriteMode::ifOlder:
        break;
    }
    const int entryAgainstFile =
        work.CompareModificationTime(existing ? existing->ModifiedTime() : TFileTime{});
    return OverwriteMode == TUZOverwriteMode::ifNewer ? entryAgainstFile > 0 : entryAgainstFile < 0;
}

} // namespace mzb
