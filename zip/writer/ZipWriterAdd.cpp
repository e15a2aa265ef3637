// Adding one file to the archive being written: its entry, its stored name,
// and its data through the read step (CRC and progress) and the write step
// (encryption, room and cancel checks).
#include "zip/base/DosDateTime.h"
#include "zip/base/Percent.h"
#include "zip/base/TestSignal.h"
#include "zip/base/ZipError.h"
#include "zip/format/Crc32.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"
#include "zip/writer/DirSearch.h"
#include "zip/writer/ZipWriteRun.h"
#include "zip/writer/ZipWriter.h"

#include <algorithm>
#include <cstring>
#include <ctime>
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
// data takes its size; encryption adds its header.
std::uint64_t MostDataBytes(std::uint64_t size, bool deflated, bool encrypted) {
    return size + (deflated ? size / 4 + 64 : 0) + (encrypted ? kEncryptionHeaderSize : 0);
}

} // namespace

// The compressor's two ends, over the writer's read and write steps.
class TZipWriter::TEntryIO final : public TDeflateSource, public TDeflateSink {
public:
    TEntryIO(TZipWriter& writer, TZipWriteRun& run) : writer_(writer), run_(run) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        return writer_.ReadStep(run_, buffer, capacity);
    }
    void Write(const std::uint8_t* data, std::size_t size) override {
        writer_.WriteStep(run_, data, size);
    }

private:
    TZipWriter& writer_;
    TZipWriteRun& run_;
};

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
    return run.storedNames.count(name) != 0;
}

// --- adding ---------------------------------------------------------------------

bool TZipWriter::AddItem(TZipWriteRun& run, const std::string& item) {
    auto entry = std::make_unique<TZipHeaderInfo>();
    if (!AddFile(run, item, *entry)) {
        return false;
    }
    Commit(run, std::move(entry));
    ++run.added;
    if (Dispose && KindOfItem(item) != TFileItemKind::Directory) {
        run.disposeList.push_back(item);
    }
    return true;
}

void TZipWriter::Commit(TZipWriteRun& run, std::unique_ptr<TZipHeaderInfo> entry) {
    run.storedNames.insert(entry->Directory() + entry->FileName());
    run.entries->Add(std::move(entry));
    ++run.endCentral.EntriesThisDisk;
    ++run.endCentral.TotalEntries;
}

void TZipWriter::SkipFile(TZipWriteRun&, int reason, const std::string& item, std::uint64_t size) {
    totalBytes_ -= std::min(size, totalBytes_);
    bool retry = false;
    if (OnSkippingFile) {
        OnSkippingFile(*this, reason, item, -1, retry);
    }
}

bool TZipWriter::OpenInput(TZipWriteRun& run, const std::string& item) {
    for (;;) {
        if (run.input.Open(item, TFileMode::Read)) {
            return true;
        }
        bool retry = false;
        if (OnSkippingFile) {
            OnSkippingFile(*this, kSkipCannotOpen, item, -1, retry);
        }
        if (!retry) {
            return false;
        }
    }
}

bool TZipWriter::Compresses(const TZipHeaderInfo& entry) const {
    return packLevel_ != 0 && !MatchesPatternList(NoCompressList, entry.FileName());
}

bool TZipWriter::AddFile(TZipWriteRun& run, const std::string& item, TZipHeaderInfo& entry) {
    const bool isDirectory = KindOfItem(item) == TFileItemKind::Directory;
    std::uint64_t size = 0;
    if (isDirectory) {
        const auto info = FileInfoOf(WithoutTrailingSeparator(item));
        const bool listed = info && info->IsDirectory();
        entry.FileDateTime = listed ? info->DosDateTime : TimeToDosDateTime(std::time(nullptr));
        entry.ExternalAttributes = listed ? ExternalAttributes(*info) : kDefaultDirectoryAttributes;
        entry.CompressionMethod = kMethodStored;
        entry.Crc32 = 0;
    } else {
        const auto info = FileInfoOf(item);
        if (!info) {
            return false;
        }
        if (info->Size > limits_.MaxFileSize) {
            SkipFile(run, kSkipTooLarge, item, info->Size);
            return false;
        }
        entry.ExternalAttributes = ExternalAttributes(*info);
        if (!OpenInput(run, item)) {
            return false;
        }
        // Size and time of the file as opened: it may have changed since
        // the list was made.
        struct stat st {};
        ::fstat(run.input.Descriptor(), &st);
        size = static_cast<std::uint64_t>(st.st_size);
        if (size > limits_.MaxFileSize) {
            run.input.Close();
            SkipFile(run, kSkipTooLarge, item, size);
            return false;
        }
        entry.FileDateTime = TimeToDosDateTime(st.st_mtime);
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
    if (IsStoredNameTaken(run, name)) {
        run.input.Close();
        SkipFile(run, kSkipDuplicateName, item, size);
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
    entry.LocalZip64 =
        !isDirectory && MostDataBytes(size, Compresses(entry), !ArchivePassword.empty()) >
                            limits_.Classic.MaxField32;
    WriteHeader(run, entry);
    if (isDirectory) {
        if (OnEndZip) {
            OnEndZip(*this, item, 0, 0, 0);
        }
        return true;
    }
    try {
        WriteEntryData(run, entry);
    } catch (const TEntryAbandoned&) {
        run.input.Close();
        run.output.Seek(entry.RelativeOffset);
        SkipFile(run, kSkipCannotOpen, item, 0);
        return false;
    }
    run.input.Close();
    if (OnEndZip) {
        OnEndZip(*this, item, entry.UncompressedSize, entry.CompressedSize, run.output.Position());
    }
    return true;
}

void TZipWriter::WriteEntryData(TZipWriteRun& run, TZipHeaderInfo& entry) {
    run.fileSize = entry.UncompressedSize;
    run.keys.reset();
    if (!ArchivePassword.empty()) {
        // The header's check bytes come from the CRC, so it is needed first.
        entry.Crc32 = CrcPass(run);
        if (!run.input.Seek(0)) {
            throw TEntryAbandoned{};
        }
        run.keys.emplace(ArchivePassword);
        const auto header = EncryptionHeader(*run.keys, entry.Crc32, filler_);
        WriteRaw(run, header.data(), header.size());
    }
    run.crc = kCrc32Init;
    run.fileRead = 0;
    if (!Compresses(entry)) {
        StoreData(run, entry);
    } else {
        if (!run.deflater) {
            run.deflater = std::make_unique<TDeflater>();
        }
        TEntryIO io(*this, run);
        const TDeflateResult result = run.deflater->Deflate(io, io, packLevel_);
        entry.CompressionMethod = result.method;
        entry.InternalAttributes = result.internalAttributes;
        entry.Flags |= result.flagBits;
        entry.CompressedSize = result.compressedSize;
    }
    const std::uint32_t crc = run.crc ^ 0xFFFFFFFFu;
    // A read error or a file that shrank cuts the data short of what the
    // file held when it was opened: a copy that silently lacks its end is
    // no backup. A file changed between the two passes no longer matches
    // the check byte already written.
    if (run.input.LastError() != 0 || run.fileRead != run.fileSize ||
        (run.keys && crc != entry.Crc32)) {
        throw TEntryAbandoned{};
    }
    entry.UncompressedSize = run.fileRead;
    entry.Crc32 = crc;
    if (run.keys) {
        entry.Flags |= kFlagEncrypted;
        entry.CompressedSize += kEncryptionHeaderSize;
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
            std::min<std::uint64_t>(TZipWriteRun::kCrcPassBufferSize, run.fileSize - done));
        const std::size_t got = run.input.Read(run.buffer.data(), want);
        if (got == 0) {
            break;
        }
        reg = Crc32Update(reg, run.buffer.data(), got);
        done += got;
        if (done % TZipWriteRun::kCopyBufferSize == 0) {
            CheckForCancel();
        }
    }
    if (run.input.LastError() != 0) {
        throw TEntryAbandoned{};
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
    run.fileRead += got;
    if (OnFilePercentDone) {
        OnFilePercentDone(*this, PercentOf(run.fileRead, run.fileSize));
    }
    run.bytesRead += got;
    if (OnTotalPercentDone) {
        OnTotalPercentDone(*this, PercentOf(run.bytesRead, totalBytes_));
    }
    run.crc = Crc32Update(run.crc, buffer, got);
    if (run.fileSize > TZipWriteRun::kCopyBufferSize && run.fileRead * 2 >= run.fileSize) {
        TestSignalPoint("writer-mid-entry");
    }
    CheckForCancel();
    return got;
}

void TZipWriter::WriteStep(TZipWriteRun& run, const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* out = data;
    if (run.keys) {
        if (run.cryptBuffer.size() < size) {
            run.cryptBuffer.resize(std::max(size, TZipWriteRun::kCopyBufferSize));
        }
        std::memcpy(run.cryptBuffer.data(), data, size);
        run.keys->Encrypt(run.cryptBuffer.data(), size);
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
