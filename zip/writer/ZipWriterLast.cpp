// Entries the host adds from memory once the listed files are written: a
// text that describes them (their CRCs) is then known, and the archive is
// still written in one run and takes its name once.
#include "zip/base/ZipError.h"
#include "zip/format/Crc32.h"
#include "zip/io/PathName.h"
#include "zip/writer/FilePiece.h"
#include "zip/writer/ZipWriteRun.h"
#include "zip/writer/ZipWriter.h"

#include <algorithm>

namespace mzb {

void TZipWriter::AddLastEntries(TZipWriteRun& run) {
    if (!OnAddLast) {
        return;
    }
    std::vector<TLastEntry> last;
    OnAddLast(*this, *run.entries, last);
    for (const TLastEntry& added : last) {
        AddFromMemory(run, added);
    }
}

// The data is at hand, so it is compressed before its header is written:
// the header then knows whether the sizes need the ZIP64 block.
void TZipWriter::AddFromMemory(TZipWriteRun& run, const TLastEntry& added) {
    const std::string& name = added.StoredName;
    if (FileNamePart(name).empty() || IsStoredNameTaken(run, name)) {
        throw EZipFormatError("Cannot add " + name + " to " + zipName_ +
                              ": the name is empty or taken");
    }
    auto entry = std::make_unique<TZipHeaderInfo>();
    entry->SetDirectory(DirectoryPart(name));
    entry->SetFileName(FileNamePart(name));
    entry->SetModificationTime(added.ModificationTime);
    entry->ExternalAttributes = added.ExternalAttributes;
    entry->DiskNumberStart = 0;
    entry->UncompressedSize = added.Data.size();

    TFilePiece piece;
    piece.input.assign(added.Data.begin(), added.Data.end());
    piece.size = added.Data.size();
    piece.last = true;
    if (added.PackLevel > 0) {
        if (!run.deflater) {
            run.deflater = std::make_unique<TDeflater>();
        }
        CompressPiece(piece, *run.deflater, std::min(added.PackLevel, kMaxDeflateLevel));
    } else {
        piece.crc = Crc32(piece.input.data(), piece.size);
        piece.output = std::move(piece.input);
        piece.result.method = kMethodStored;
        piece.result.internalAttributes = 0;
    }
    entry->CompressionMethod = piece.result.method;
    entry->InternalAttributes = piece.result.internalAttributes;
    entry->Flags |= piece.result.flagBits;
    entry->Crc32 = piece.crc;
    entry->CompressedSize = piece.output.size();

    const bool encrypting = !ArchivePassword.empty();
    const std::uint64_t mostStored = std::max<std::uint64_t>(
        piece.output.size() + (encrypting ? EncryptionOverhead(Encryption) : 0), piece.size);
    entry->LocalZip64 = mostStored > limits_.Classic.MaxField32;
    if (encrypting) {
        MarkEntryForCipher(Encryption, *entry);
    }
    WriteHeader(run, *entry);
    run.cipher.reset();
    if (encrypting) {
        run.cipher = CipherForWriting(Encryption, ArchivePassword, piece.crc, filler_);
        const std::vector<std::uint8_t> header = run.cipher->Header();
        WriteRaw(run, header.data(), header.size());
    }
    for (std::size_t done = 0; done < piece.output.size(); done += TZipWriteRun::kCopyBufferSize) {
        WriteStep(run, piece.output.data() + done,
                  std::min(piece.output.size() - done, TZipWriteRun::kCopyBufferSize));
    }
    EndEntryData(run, *entry);
    run.cipher.reset();
    Commit(run, std::move(entry), TTakenNames::kNoItem);
}

} // namespace mzb
