// Adding one file to the archive being written: its entry, its stored name,
// and its data through the read step (CRC and progress) and the write step
// (encryption, room and cancel checks).
#include "zip/base/Percent.h"
#include "zip/base/RunPoint.h"
#include "zip/base/ZipError.h"
#include "zip/format/Crc32.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"
#include "zip/writer/DirSearch.h"
#include "zip/writer/FilePiece.h"
#include "zip/writer/PiecePipeline.h"
#include "zip/writer/ZipWriteRun.h"
#include "zip/writer/ZipWriter.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace mzb {
namespace {

// What a directory entry carries when the directory cannot be looked up.
constexpr std::uint32_t kDefaultDirectoryAttributes = (040755u << 16) | kAttrDirectory;

// The components of a stored directory, without the leading '/', empty
// components and "." or "..": a stored name must never lead an extractor
// outside its destination.
std::string CleanStoredDirectory(std::string_view dir) {
    std::string clean;
    while (!dir.empty()) {
        const auto slash = dir.find(kPathSeparator);
        const auto component = dir.substr(0, slash);
        if (!component.empty() && component != "." && component != "..") {
            clean.append(component).push_back(kPathSeparator);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        dir.remove_prefix(slash + 1);
    }
    return clean;
}

// The most bytes an entry's data can take. Deflate at its worst spends 9
// bits on a byte (a literal of the fixed codes) and a few on each block of
// thousands of bytes, so a quarter more is room for any block layout; stored
// data takes its size; encryption adds its header and trailer.
std::uint64_t MostDataBytes(std::uint64_t size, bool deflated, std::size_t encryption) {
    return size + (deflated ? size / 4 + 64 : 0) + encryption;
}

// "/a/./x" and "/a//x" are the file "/a/x" too.
bool IsSamePath(const std::string& a, const std::string& b) {
    return !a.empty() && std::filesystem::path(a).lexically_normal() ==
                             std::filesystem::path(b).lexically_normal();
}

} // namespace

// --- stored names ---------------------------------------------------------------

std::string TZipWriter::StoredDirectoryOf(const std::string& item) const {
    if (!storePaths_) {
        return {};
    }
    std::string_view dir = item;
    dir = dir.substr(0, dir.rfind(kPathSeparator) + 1);
    if (relativePaths_ && !rootDir_.empty() && dir.starts_with(rootDir_)) {
        dir.remove_prefix(rootDir_.size());
    }
    return CleanStoredDirectory(dir);
}

std::string TZipWriter::StoredNameOf(const std::string& item) const {
    return StoredDirectoryOf(item) + FileNamePart(item);
}

// Linux file names that differ only in letter case are different files, and
// a backup must keep both; so only the very same name is a duplicate.
bool TZipWriter::IsStoredNameTaken(const TZipWriteRun& run, const std::string& name) const {
    return run.storedNames->Find(name).has_value();
}

// --- adding ---------------------------------------------------------------------

TPiecePipeline& TZipWriter::Pipeline(TZipWriteRun& run) {
    if (!run.pipeline) {
        const bool encrypting = !ArchivePassword.empty();
        TCipherMaker makeCipher;
        if (encrypting && !NeedsCrcFirst(Encryption)) {
            makeCipher = [encryption = Encryption, password = ArchivePassword] {
                return CipherForWriting(encryption, password, 0, nullptr);
            };
        }
        run.pipeline = std::make_unique<TPiecePipeline>(
            Threads, packLevel_, limits_.MaxFileSize, encrypting && NeedsCrcFirst(Encryption),
            run.inputs, [this] { CheckForCancel(); }, std::move(makeCipher));
    }
    return *run.pipeline;
}

TPlannedFile TZipWriter::Planned(const std::string& item) const {
    const bool file = KindOfItem(item) != TFileItemKind::Directory;
    return {&item, file && CompressesFile(FileNamePart(item)), file};
}

bool TZipWriter::CompressesFile(const std::string& fileName) const {
    return packLevel_ != 0 && !MatchesPatternList(NoCompressList, fileName);
}

// Files the run adds one by one while carrying over an archive were not
// planned; each is then planned alone, so a large one still compresses on
// every worker.
bool TZipWriter::AddItem(TZipWriteRun& run, std::size_t itemIndex) {
    const std::string& item = filesList_[itemIndex];
    TPiecePipeline& pipeline = Pipeline(run);
    const TPreparedFile* prepared = pipeline.Take(item);
    if (!prepared) {
        pipeline.Plan({Planned(item)});
        prepared = pipeline.Take(item);
    }
    struct TFinish {
        TPiecePipeline& pipeline;
        ~TFinish() { pipeline.Finish(); }
    } finish{pipeline};
    auto entry = std::make_unique<TZipHeaderInfo>();
    if (!AddFile(run, item, *entry, *prepared)) {
        return false;
    }
    Commit(run, std::move(entry), static_cast<std::uint32_t>(itemIndex));
    ++run.added;
    if (Dispose && KindOfItem(item) != TFileItemKind::Directory) {
        run.disposeList.push_back(item);
    }
    return true;
}

void TZipWriter::Commit(TZipWriteRun& run, std::unique_ptr<TZipHeaderInfo> entry,
                        std::uint32_t item) {
    run.entries->Add(std::move(entry));
    run.storedNames->TakeLast(item);
    ++run.endCentral.EntriesThisDisk;
    ++run.endCentral.TotalEntries;
}

void TZipWriter::SkipFile(TZipWriteRun&, int reason, const std::string& item, std::uint64_t size,
                          int error) {
    totalBytes_ -= std::min(size, totalBytes_);
    bool retry = false;
    skipError_ = error;
    if (OnSkippingFile) {
        OnSkippingFile(*this, reason, item, -1, retry);
    }
    skipError_ = 0;
}

bool TZipWriter::OpenInput(TZipWriteRun& run, const std::string& item, struct stat& status) {
    for (;;) {
        const int error = run.inputs.Open(item, run.input, status);
        if (error == 0) {
            return true;
        }
        bool retry = false;
        skipError_ = error;
        if (OnSkippingFile) {
            OnSkippingFile(*this, kSkipCannotOpen, item, -1, retry);
        }
        skipError_ = 0;
        if (!retry) {
            return false;
        }
    }
}

bool TZipWriter::AddFile(TZipWriteRun& run, const std::string& item, TZipHeaderInfo& entry,
                         const TPreparedFile& prepared) {
    const bool isDirectory = KindOfItem(item) == TFileItemKind::Directory;
    std::uint64_t size = 0;
    if (isDirectory) {
        const auto info = FileInfoOf(WithoutTrailingSeparator(item));
        const bool listed = info && info->IsDirectory();
        entry.SetModificationTime(listed ? info->WriteTime : std::time(nullptr));
        entry.ExternalAttributes = listed ? ExternalAttributes(*info) : kDefaultDirectoryAttributes;
        entry.CompressionMethod = kMethodStored;
        entry.Crc32 = 0;
    } else {
        // A file read ahead was looked at when it was opened.
        const auto info =
            prepared.opened
                ? std::optional(InfoFromStat(FileNamePart(item), prepared.status, false))
                : FileInfoOf(item);
        if (!info) {
            return false;
        }
        if (info->Size > limits_.MaxFileSize) {
            SkipFile(run, kSkipTooLarge, item, info->Size);
            return false;
        }
        entry.ExternalAttributes = ExternalAttributes(*info);
        // Size and time of the file as opened: it may have changed since
        // the list was made.
        struct stat st = prepared.status;
        if (!prepared.opened && !OpenInput(run, item, st)) {
            return false;
        }
        size = static_cast<std::uint64_t>(st.st_size);
        if (size > limits_.MaxFileSize) {
            run.input.Close();
            SkipFile(run, kSkipTooLarge, item, size);
            return false;
        }
        entry.SetModificationTime(st.st_mtim.tv_sec);
        entry.UncompressedSize = size;
    }
    entry.SetFileName(isDirectory ? std::string() : FileNamePart(item));
    entry.InternalAttributes = isDirectory ? 0 : 2;
    entry.DiskNumberStart = 0;
    entry.SetDirectory(StoredDirectoryOf(item));

    const std::string name = entry.Directory() + entry.FileName();
    // Without stored paths a directory entry would have no name at all.
    if (name.empty()) {
        return false;
    }
    if (const auto taken = run.storedNames->Find(name)) {
        run.input.Close();
        // Overlapping list entries ("/a/*" and "/a/x.txt") name one file
        // twice; it is in the archive already, so nothing is left out.
        if (IsSamePath(std::string(*taken), item)) {
            totalBytes_ -= std::min(size, totalBytes_);
        } else {
            SkipFile(run, kSkipDuplicateName, item, size);
        }
        return false;
    }
    bool skip = false;
    if (OnStartZip) {
        OnStartZip(*this, item, entry, skip);
    }
    if (skip) {
        run.input.Close();
        totalBytes_ -= std::min(size, totalBytes_);
        return false;
    }
    // The local header is written before the sizes are known and again
    // after, in the same room: a file whose data may outgrow the classic
    // fields keeps room for the ZIP64 block from the start.
    const bool encrypting = !isDirectory && !ArchivePassword.empty();
    entry.LocalZip64 = !isDirectory && MostDataBytes(size, CompressesFile(entry.FileName()),
                                                     encrypting ? EncryptionOverhead(Encryption)
                                                                : 0) > limits_.Classic.MaxField32;
    if (encrypting) {
        MarkEntryForCipher(Encryption, entry);
    }
    WriteHeader(run, entry);
    if (isDirectory) {
        if (OnEndZip) {
            OnEndZip(*this, item, 0, 0, 0);
        }
        return true;
    }
    try {
        WriteEntryData(run, entry, prepared);
    } catch (const TEntryAbandoned& abandoned) {
        run.input.Close();
        run.output.Seek(entry.RelativeOffset);
        SkipFile(run, kSkipCannotOpen, item, 0, abandoned.error);
        return false;
    }
    run.input.Close();
    if (OnEndZip) {
        OnEndZip(*this, item, entry.UncompressedSize, entry.CompressedSize, run.output.Position());
    }
    return true;
}

void TZipWriter::WriteEntryData(TZipWriteRun& run, TZipHeaderInfo& entry,
                                const TPreparedFile& prepared) {
    run.fileSize = entry.UncompressedSize;
    run.fileRead = 0;
    run.fileProgress = 0;
    run.twoPasses = false;
    run.cipher.reset();
    const bool compress = CompressesFile(entry.FileName());
    // Read ahead only when it was planned to be compressed: OnStartZip may
    // have renamed the entry into or out of NoCompressList.
    const bool readAhead = prepared.opened && compress;
    if (prepared.opened && !compress) {
        struct stat status {};
        if (const int error = run.inputs.Open(*prepared.path, run.input, status)) {
            throw TEntryAbandoned{error};
        }
    }
    std::uint32_t crc = 0;
    if (compress) {
        DeflateData(run, entry, prepared, readAhead);
        crc = entry.Crc32;
    } else {
        if (!ArchivePassword.empty()) {
            if (NeedsCrcFirst(Encryption)) {
                run.twoPasses = true;
                entry.Crc32 = CrcPass(run);
                if (!run.input.Seek(0)) {
                    throw TEntryAbandoned{run.input.LastError()};
                }
            }
            StartCipher(run, entry.Crc32, prepared);
        }
        run.crc = kCrc32Init;
        StoreData(run, entry);
        crc = run.crc ^ 0xFFFFFFFFu;
    }
    // A read error or a file that shrank cuts the data short of what the
    // file held when it was opened: a copy that silently lacks its end is
    // no backup. A file changed between the two passes no longer matches
    // the check byte already written. (Pieces read ahead carry their own
    // read errors and short reads.)
    const bool crcFirst = run.cipher && NeedsCrcFirst(Encryption);
    if ((!readAhead && (run.input.LastError() != 0 || run.fileRead != run.fileSize)) ||
        (crcFirst && (crc != entry.Crc32 || run.fileRead != run.fileSize))) {
        throw TEntryAbandoned{readAhead ? 0 : run.input.LastError()};
    }
    entry.UncompressedSize = run.fileRead;
    entry.Crc32 = crc;
    EndEntryData(run, entry);
}

// The cipher's trailer and the sizes known at last, in the local header
// written before the data.
void TZipWriter::EndEntryData(TZipWriteRun& run, TZipHeaderInfo& entry) {
    if (run.cipher) {
        // The traditional cipher has none, and no bytes to point at.
        const std::vector<std::uint8_t> trailer = run.cipher->Trailer();
        if (!trailer.empty()) {
            WriteRaw(run, trailer.data(), trailer.size());
        }
        entry.CompressedSize += run.cipher->HeaderSize() + trailer.size();
        run.cipher->MarkEntry(entry);
    }
    if (!entry.LocalZip64 && (entry.CompressedSize > limits_.Classic.MaxField32 ||
                              entry.UncompressedSize > limits_.Classic.MaxField32)) {
        // A larger header would overwrite the start of the data.
        throw EZipFormatError("Cannot store " + entry.Directory() + entry.FileName() +
                              ": its data outgrew the room its header kept for the sizes");
    }
    const std::uint64_t end = run.output.Position();
    run.output.Seek(entry.RelativeOffset);
    WriteHeader(run, entry);
    run.output.Seek(end);
}

// The file's pieces, compressed ahead on the workers or here from the
// input the run opened itself, go out in order; progress and the cancel
// check come per 32 KiB of input as each piece is compressed, and per 32 KiB
// of output as it is written. On return the entry's CRC is the one of the
// data written, and for an encrypted entry the header's CRC was checked
// against it by the caller.
void TZipWriter::DeflateData(TZipWriteRun& run, TZipHeaderInfo& entry,
                             const TPreparedFile& prepared, bool readAhead) {
    TPieceReader reader(run.fileSize);
    // The bytes of the piece at hand counted so far, beside the run: the
    // progress callback then holds two pointers, which it keeps without
    // allocating, once per file.
    struct TCounting {
        TZipWriteRun& run;
        std::uint64_t counted = 0;
    } counting{run};
    const TPieceTaken progress = [this, &counting](std::size_t taken) {
        CountUpTo(counting.run, counting.counted, taken, false, false);
    };
    auto next = [&]() -> std::shared_ptr<TFilePiece> {
        counting.counted = 0;
        if (readAhead) {
            return run.pipeline->NextPiece(progress);
        }
        if (reader.Done()) {
            return nullptr;
        }
        if (!run.deflater) {
            run.deflater = std::make_unique<TDeflater>();
        }
        std::shared_ptr<TFilePiece> piece = reader.Next(run.input, [this] { CheckForCancel(); });
        CompressPiece(*piece, *run.deflater, packLevel_, progress);
        return piece;
    };
    std::shared_ptr<TFilePiece> piece;
    if (!ArchivePassword.empty() && !NeedsCrcFirst(Encryption)) {
        StartCipher(run, 0, prepared);
    } else if (!ArchivePassword.empty()) {
        std::uint32_t headerCrc = 0;
        if (!readAhead) {
            run.twoPasses = true;
            headerCrc = CrcPass(run);
            if (!run.input.Seek(0)) {
                throw TEntryAbandoned{run.input.LastError()};
            }
            reader = TPieceReader(run.fileSize);
        } else if (run.pipeline->HasWholeCrc()) {
            run.twoPasses = true;
            std::uint64_t passCounted = 0;
            if (!run.pipeline->ReadWholeCrc(
                    [&](std::size_t done) { CountUpTo(run, passCounted, done, false, true); })) {
                throw TEntryAbandoned{};
            }
            CountUpTo(run, passCounted, prepared.crcLength, true, true);
            headerCrc = *prepared.crc;
            run.fileSize = prepared.crcLength;
        } else {
            // A file of one piece: its own CRC, computed with its compression.
            piece = next();
            headerCrc = piece->crc;
            run.fileSize = piece->size;
        }
        StartCipher(run, headerCrc, prepared);
        entry.Crc32 = headerCrc;
    }
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
    bool first = true;
    for (piece = piece ? piece : next(); piece; piece = next()) {
        if (piece->readFailed) {
            throw TEntryAbandoned{piece->readError};
        }
        CountUpTo(run, counting.counted, piece->size, true, false);
        const std::vector<std::uint8_t>& out = piece->output;
        for (std::size_t done = 0; done < out.size(); done += TZipWriteRun::kCopyBufferSize) {
            WriteStep(run, out.data() + done,
                      std::min(out.size() - done, TZipWriteRun::kCopyBufferSize));
        }
        compressed += out.size();
        if (first) {
            // Method, text or binary and level bits are the first piece's: a
            // file of one piece may be stored, and the first block decides.
            entry.CompressionMethod = piece->result.method;
            entry.InternalAttributes = piece->result.internalAttributes;
            entry.Flags |= piece->result.flagBits;
            crc = piece->crc;
        } else {
            crc = Crc32Combine(crc, piece->crc, piece->size);
        }
        first = false;
    }
    entry.CompressedSize = compressed;
    if (run.cipher && NeedsCrcFirst(Encryption) && crc != entry.Crc32) {
        throw TEntryAbandoned{};
    }
    entry.Crc32 = crc;
}

// Writes the entry's encryption header; the cipher then encrypts every byte
// the write step writes. Its keys were derived ahead on a worker when the
// pipeline prepared the file.
void TZipWriter::StartCipher(TZipWriteRun& run, std::uint32_t crc, const TPreparedFile& prepared) {
    run.cipher = prepared.cipher ? prepared.cipher->Take()
                                 : CipherForWriting(Encryption, ArchivePassword, crc, filler_);
    const std::vector<std::uint8_t> header = run.cipher->Header();
    WriteRaw(run, header.data(), header.size());
}

void TZipWriter::StoreData(TZipWriteRun& run, TZipHeaderInfo& entry) {
    entry.CompressionMethod = kMethodStored;
    entry.InternalAttributes = 0;
    std::uint64_t copied = 0;
    for (;;) {
        const std::size_t got = ReadStep(run, run.buffer.data(), run.buffer.size());
        if (got == 0) {
            break;
        }
        WriteStep(run, run.buffer.data(), got);
        copied += got;
    }
    entry.CompressedSize = copied;
}

std::uint32_t TZipWriter::CrcPass(TZipWriteRun& run) {
    std::uint32_t reg = kCrc32Init;
    std::uint64_t done = 0;
    while (done < run.fileSize) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(run.buffer.size(), run.fileSize - done));
        const std::size_t got = run.input.Read(run.buffer.data(), want);
        if (got == 0) {
            break;
        }
        reg = Crc32Update(reg, run.buffer.data(), got);
        done += got;
        CountFirstPass(run, got);
    }
    if (run.input.LastError() != 0) {
        throw TEntryAbandoned{run.input.LastError()};
    }
    run.fileSize = done;
    return reg ^ 0xFFFFFFFFu;
}

// --- the read and write steps -------------------------------------------------

std::size_t TZipWriter::ReadStep(TZipWriteRun& run, std::uint8_t* buffer, std::size_t capacity) {
    // Never more than the size the entry was started with: bytes appended
    // meanwhile would not match the header.
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(capacity, run.fileSize - run.fileRead));
    const std::size_t got = want == 0 ? 0 : run.input.Read(buffer, want);
    if (got == 0) {
        return 0;
    }
    run.crc = Crc32Update(run.crc, buffer, got);
    CountRead(run, got);
    return got;
}

void TZipWriter::CountRead(TZipWriteRun& run, std::size_t bytes) {
    run.fileRead += bytes;
    Progress(run, run.twoPasses ? bytes : 2 * std::uint64_t{bytes});
    if (run.fileSize > TZipWriteRun::kCopyBufferSize && run.fileRead * 2 >= run.fileSize) {
        PassRunPoint("writer-mid-entry");
    }
    CheckForCancel();
}

void TZipWriter::CountFirstPass(TZipWriteRun& run, std::size_t bytes) {
    Progress(run, bytes);
    CheckForCancel();
}

// Counts a piece or a pass read so far up to `done` bytes, in steps of
// 32 KiB from its start (with `all`, also the shorter last one): the same
// work gives the same events however it was cut and whichever thread did
// it. Without a step to count, the host still gets its turn.
void TZipWriter::CountUpTo(TZipWriteRun& run, std::uint64_t& counted, std::uint64_t done, bool all,
                           bool firstPass) {
    bool stepped = false;
    while (counted < done && (all || done - counted >= TZipWriteRun::kCopyBufferSize)) {
        const auto step = static_cast<std::size_t>(
            std::min<std::uint64_t>(done - counted, TZipWriteRun::kCopyBufferSize));
        counted += step;
        if (firstPass) {
            CountFirstPass(run, step);
        } else {
            CountRead(run, step);
        }
        stepped = true;
    }
    if (!stepped) {
        CheckForCancel();
    }
}

void TZipWriter::Progress(TZipWriteRun& run, std::uint64_t halves) {
    run.fileProgress += halves;
    run.runProgress += halves;
    if (OnFilePercentDone) {
        OnFilePercentDone(*this, PercentOf(run.fileProgress, 2 * run.fileSize));
    }
    if (OnTotalPercentDone) {
        OnTotalPercentDone(*this, PercentOf(run.runProgress, 2 * totalBytes_));
    }
}

void TZipWriter::WriteStep(TZipWriteRun& run, const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* out = data;
    if (run.cipher) {
        if (run.cryptBuffer.size() < size) {
            run.cryptBuffer.resize(std::max(size, TZipWriteRun::kCopyBufferSize));
        }
        std::memcpy(run.cryptBuffer.data(), data, size);
        run.cipher->Encrypt(run.cryptBuffer.data(), size);
        out = run.cryptBuffer.data();
    }
    if (run.output.Write(out, size) != size) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
    // The compressor writes in small pieces; the host gets its turn about
    // every 32 KiB of output, as it does for every piece read.
    run.uncheckedOutput += size;
    if (run.uncheckedOutput >= TZipWriteRun::kCopyBufferSize) {
        run.uncheckedOutput = 0;
        CheckForCancel();
    }
}

void TZipWriter::WriteHeader(TZipWriteRun& run, TZipHeaderInfo& entry, std::string_view extra) {
    if (!entry.WriteLocalHeader(run.output, extra, limits_.Classic)) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
}

void TZipWriter::WriteRaw(TZipWriteRun& run, const void* data, std::size_t size) {
    if (run.output.Write(data, size) != size) {
        throw ENotEnoughRoom("Not enough room to write archive");
    }
}

} // namespace mzb
