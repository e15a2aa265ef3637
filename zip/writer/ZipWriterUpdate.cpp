// Carrying the entries of an existing archive into the one being written:
// each is kept (copied unchanged), replaced by the listed file of the same
// stored name, or dropped when marked so.
#include "zip/base/ByteOrder.h"
#include "zip/base/ZipError.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"
#include "zip/writer/ZipWriteRun.h"
#include "zip/writer/ZipWriter.h"

#include <unordered_map>

namespace mzb {
namespace {

constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50u;
// CRC and both sizes, after the signature; the sizes take 8 bytes each after
// a local header with a ZIP64 block.
constexpr std::uint64_t kDataDescriptorSize = 12;
constexpr std::uint64_t kZip64DataDescriptorSize = 20;

std::string StoredNameOfEntry(const TZipHeaderInfo& entry) {
    return entry.Directory() + entry.FileName();
}

} // namespace

void TZipWriter::CarryOver(TZipWriteRun& run) {
    // Each stored name to the first listed item that has it.
    std::unordered_map<std::string, std::size_t> itemOfName;
    for (std::size_t i = 0; i < filesList_.size(); ++i) {
        itemOfName.emplace(StoredNameOf(filesList_[i]), i);
    }
    for (std::size_t i = 0; i < entries_->Count(); ++i) {
        TZipHeaderInfo& old = entries_->Items(i);
        if (i == 0 && leadingBytes_ && old.RelativeOffset > 0) {
            CopyBytes(run, 0, old.RelativeOffset);
        }
        if (old.RewriteMark == 2) {
            bool skip = false;
            if (OnDeleteEntry) {
                OnDeleteEntry(*this, StoredNameOfEntry(old), skip);
            }
            if (!skip) {
                continue;
            }
        }
        if (old.HasComment() && !old.FileComment()) {
            old.LoadFileComment(archive_);
        }
        const auto match = itemOfName.find(StoredNameOfEntry(old));
        if (match != itemOfName.end()) {
            const std::size_t item = match->second;
            itemOfName.erase(match);
            run.itemTaken[item] = true;
            if (ReplacesEntry(run, old, item, static_cast<int>(i))) {
                continue;
            }
        }
        CopyEntry(run, old);
    }
}

// True when the listed file took the entry's place. A file that cannot be
// added after all leaves the old entry in place rather than losing both.
bool TZipWriter::ReplacesEntry(TZipWriteRun& run, const TZipHeaderInfo& old, std::size_t item,
                               int index) {
    const std::string& path = filesList_[item];
    bool replace = ZipAction == TZipAction::zaReplace;
    if (!replace) {
        const auto info = FileInfoOf(WithoutTrailingSeparator(path));
        replace = info && old.CompareModificationTime(info->ModifiedTime()) < 0;
    }
    if (!replace) {
        if (OnUpdate) {
            OnUpdate(*this, 1, index);
        }
        return false;
    }
    if (OnUpdate) {
        OnUpdate(*this, 0, index);
    }
    return AddItem(run, item);
}

// The entry's data and any data descriptor are copied unchanged behind a new
// local header, which keeps the old one's extra field. Its ZIP64 block and
// extended timestamp are written anew: the sizes may need a block now, or
// the old one may be wrong, and the time is the one the directory gave.
void TZipWriter::CopyEntry(TZipWriteRun& run, const TZipHeaderInfo& old) {
    const std::string name = StoredNameOfEntry(old);
    auto damaged = [&] {
        return EBadZipFile("Cannot carry over " + name + " from " + zipName_ +
                           ": the entry is damaged; the archive was left unchanged");
    };
    TZipHeaderInfo local;
    if (!archive_.Seek(old.RelativeOffset) || !local.ReadLocalHeader(archive_)) {
        throw damaged();
    }
    std::string extra(local.LocalExtraLength, '\0');
    if (archive_.Read(extra.data(), extra.size()) != extra.size()) {
        throw damaged();
    }
    const std::uint64_t dataStart = archive_.Position();
    const std::uint64_t limit = DataLimitOf(old);
    if (dataStart > limit || old.CompressedSize > limit - dataStart) {
        throw damaged();
    }
    std::uint64_t length = old.CompressedSize;
    if (old.HasDataDescriptor()) {
        std::uint8_t signature[4];
        const bool read = archive_.Seek(dataStart + length) &&
                          archive_.Read(signature, sizeof signature) == sizeof signature;
        length += (local.LocalZip64 ? kZip64DataDescriptorSize : kDataDescriptorSize) +
                  (read && GetLE32(signature) == kDataDescriptorSignature ? sizeof signature : 0);
        if (length > limit - dataStart) {
            throw damaged();
        }
    }
    if (IsStoredNameTaken(run, name)) {
        return; // an archive from elsewhere may repeat a name; one copy is enough
    }
    auto entry = std::make_unique<TZipHeaderInfo>();
    entry->Assign(old);
    // A data descriptor's sizes keep the width the old local header gave them.
    entry->LocalZip64 = local.LocalZip64;
    if (!entry->Aes.Present()) {
        entry->Aes = local.Aes; // a directory written without it
    }
    WriteHeader(run, *entry, extra);
    CopyBytes(run, dataStart, length);
    Commit(run, std::move(entry), TTakenNames::kNoItem);
}

void TZipWriter::CopyBytes(TZipWriteRun& run, std::uint64_t from, std::uint64_t size) {
    if (!archive_.Seek(from)) {
        throw EBadZipFile("Cannot read " + zipName_ + "; the archive was left unchanged");
    }
    while (size > 0) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, run.buffer.size()));
        if (archive_.Read(run.buffer.data(), piece) != piece) {
            throw EBadZipFile("Cannot read " + zipName_ + "; the archive was left unchanged");
        }
        WriteRaw(run, run.buffer.data(), piece);
        size -= piece;
        CheckForCancel();
    }
}

} // namespace mzb
