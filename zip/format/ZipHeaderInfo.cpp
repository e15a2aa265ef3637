#include "zip/format/ZipHeaderInfo.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/DosDateTime.h"
#include "zip/base/ZipError.h"
#include "zip/format/StoredName.h"

#include <algorithm>

namespace mzb {

namespace {

// Field writers that refuse a value rather than cut it: a cut size or offset
// would make an archive that every reader misreads.
class TFieldWriter {
public:
    explicit TFieldWriter(const std::string& storedName) : storedName_(storedName) {}

    std::uint32_t Fit32(std::uint64_t value, const char* what) const {
        if (value > kMaxField32) {
            Refuse(what, "4 GiB");
        }
        return static_cast<std::uint32_t>(value);
    }
    std::uint16_t FitLength(std::uint64_t value, const char* what) const {
        if (value > kMaxLength16) {
            Refuse(what, "65535 bytes");
        }
        return static_cast<std::uint16_t>(value);
    }

private:
    [[noreturn]] void Refuse(const char* what, const char* limit) const {
        throw EZipFormatError("Cannot store " + storedName_ + ": its " + what +
                              " is beyond the archive format's limit of " + limit);
    }
    const std::string& storedName_;
};

bool WriteAll(TFileStream& stream, const std::string& bytes) {
    return stream.Write(bytes.data(), bytes.size()) == bytes.size();
}

std::uint8_t* At(std::string& bytes, std::size_t offset) {
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + offset;
}

// Reads exactly n bytes or puts the stream back where it was.
bool ReadExactly(TFileStream& stream, void* dst, std::size_t n, std::uint64_t restore) {
    if (stream.Read(dst, n) == n) {
        return true;
    }
    stream.Seek(restore);
    return false;
}

} // namespace

void TZipHeaderInfo::SetFileName(std::string_view name) {
    if (name != fileName_) {
        fileName_.assign(name);
    }
}

void TZipHeaderInfo::SetDirectory(std::string_view directory) {
    if (directory == directory_) {
        return;
    }
    directory_.assign(directory);
    if (!directory_.empty() && directory_.back() != '/') {
        directory_ += '/';
    }
}

void TZipHeaderInfo::SetFileComment(std::optional<std::string> comment) {
    if (comment && comment->empty()) {
        comment.reset();
    }
    // A longer comment is kept so that writing can refuse it by name.
    FileCommentLength =
        comment ? static_cast<std::uint16_t>(std::min<std::size_t>(comment->size(), 0xFFFF)) : 0;
    fileComment_ = std::move(comment);
}

bool TZipHeaderInfo::WriteLocalHeader(TFileStream& stream) {
    RelativeOffset = stream.Position();
    const std::string name = EncodeStoredName(directory_, fileName_);
    if (NeedsUtf8Flag(name)) {
        Flags |= kFlagUtf8Name;
    }
    const TFieldWriter fit(name);
    std::string bytes(kLocalHeaderSize, '\0');
    PutLE32(At(bytes, 0), kLocalHeaderSignature);
    PutLE16(At(bytes, 4), VersionNeeded);
    PutLE16(At(bytes, 6), Flags);
    PutLE16(At(bytes, 8), CompressionMethod);
    PutLE32(At(bytes, 10), FileDateTime);
    PutLE32(At(bytes, 14), Crc32);
    PutLE32(At(bytes, 18), fit.Fit32(CompressedSize, "compressed size"));
    PutLE32(At(bytes, 22), fit.Fit32(UncompressedSize, "size"));
    PutLE16(At(bytes, 26), fit.FitLength(name.size(), "name"));
    PutLE16(At(bytes, 28), LocalExtraLength);
    // Its central header will need the offset; refuse before the data.
    fit.Fit32(RelativeOffset, "position in the archive");
    bytes += name;
    return WriteAll(stream, bytes);
}

bool TZipHeaderInfo::WriteCentralHeader(TFileStream& stream) {
    const std::string name = EncodeStoredName(directory_, fileName_);
    if (NeedsUtf8Flag(name)) {
        Flags |= kFlagUtf8Name;
    }
    const TFieldWriter fit(name);
    // A length without its text would shift every header after this one.
    const std::string& comment = fileComment_ ? *fileComment_ : std::string();
    std::string bytes(kCentralHeaderSize, '\0');
    PutLE32(At(bytes, 0), kCentralHeaderSignature);
    PutLE16(At(bytes, 4), VersionMadeBy);
    PutLE16(At(bytes, 6), VersionNeeded);
    PutLE16(At(bytes, 8), Flags);
    PutLE16(At(bytes, 10), CompressionMethod);
    PutLE32(At(bytes, 12), FileDateTime);
    PutLE32(At(bytes, 16), Crc32);
    PutLE32(At(bytes, 20), fit.Fit32(CompressedSize, "compressed size"));
    PutLE32(At(bytes, 24), fit.Fit32(UncompressedSize, "size"));
    PutLE16(At(bytes, 28), fit.FitLength(name.size(), "name"));
    PutLE16(At(bytes, 30), 0); // central headers carry no extra field
    PutLE16(At(bytes, 32), fit.FitLength(comment.size(), "comment"));
    PutLE16(At(bytes, 34), DiskNumberStart);
    PutLE16(At(bytes, 36), InternalAttributes);
    PutLE32(At(bytes, 38), ExternalAttributes);
    PutLE32(At(bytes, 42), fit.Fit32(RelativeOffset, "position in the archive"));
    bytes += name;
    bytes += comment;
    return WriteAll(stream, bytes);
}

bool TZipHeaderInfo::ReadCentralHeader(TFileStream& stream) {
    const std::uint64_t start = stream.Position();
    std::uint8_t h[kCentralHeaderSize];
    if (!ReadExactly(stream, h, sizeof h, start)) {
        return false;
    }
    if (GetLE32(h) != kCentralHeaderSignature) {
        stream.Seek(start);
        return false;
    }
    std::string raw(GetLE16(h + 28), '\0');
    if (!ReadExactly(stream, raw.data(), raw.size(), start)) {
        return false;
    }
    const std::uint16_t flags = GetLE16(h + 8);
    // Only a name without the UTF-8 flag can have a better form in the
    // extra field.
    std::string extra((flags & kFlagUtf8Name) == 0 ? GetLE16(h + 30) : 0, '\0');
    if (!ReadExactly(stream, extra.data(), extra.size(), start)) {
        return false;
    }
    const std::uint16_t extraLength = GetLE16(h + 30);
    const std::uint16_t commentLength = GetLE16(h + 32);
    if (!stream.Skip(std::int64_t(extraLength - extra.size()) + commentLength)) {
        stream.Seek(start);
        return false;
    }

    TZipHeaderInfo e;
    e.VersionMadeBy = GetLE16(h + 4);
    e.VersionNeeded = GetLE16(h + 6);
    e.Flags = flags;
    e.CompressionMethod = GetLE16(h + 10);
    e.FileDateTime = NormalizeDosDateTime(GetLE32(h + 12));
    e.Crc32 = GetLE32(h + 16);
    e.CompressedSize = GetLE32(h + 20);
    e.UncompressedSize = GetLE32(h + 24);
    e.CentralExtraLength = extraLength;
    e.LocalExtraLength = 0;
    e.FileCommentLength = commentLength;
    e.DiskNumberStart = GetLE16(h + 34);
    e.InternalAttributes = GetLE16(h + 36);
    e.ExternalAttributes = GetLE32(h + 38);
    e.RelativeOffset = GetLE32(h + 42);
    e.CentralHeaderPosition = start;
    const bool fromDosHost = IsDosHost(e.VersionMadeBy);
    std::optional<std::string> name = UnicodePathFromExtra(extra, raw, fromDosHost);
    if (!name) {
        name = DecodeStoredName(raw, (e.Flags & kFlagUtf8Name) != 0, fromDosHost);
    }
    SplitStoredName(*name, e.directory_, e.fileName_);
    *this = std::move(e);
    return true;
}

bool TZipHeaderInfo::ReadLocalHeader(TFileStream& stream) {
    const std::uint64_t start = stream.Position();
    std::uint8_t h[kLocalHeaderSize];
    if (!ReadExactly(stream, h, sizeof h, start)) {
        return false;
    }
    if (GetLE32(h) != kLocalHeaderSignature) {
        stream.Seek(start);
        return false;
    }
    std::string raw(GetLE16(h + 26), '\0');
    if (!ReadExactly(stream, raw.data(), raw.size(), start)) {
        return false;
    }

    TZipHeaderInfo e;
    e.VersionMadeBy = 0;
    e.VersionNeeded = GetLE16(h + 4);
    e.Flags = GetLE16(h + 6);
    e.CompressionMethod = GetLE16(h + 8);
    e.FileDateTime = NormalizeDosDateTime(GetLE32(h + 10));
    e.Crc32 = GetLE32(h + 14);
    e.CompressedSize = GetLE32(h + 18);
    e.UncompressedSize = GetLE32(h + 22);
    e.LocalExtraLength = GetLE16(h + 28);
    e.InternalAttributes = 0;
    e.ExternalAttributes = 0;
    e.RelativeOffset = start;
    // A local header names no host, so its name is read as one from MS-DOS
    // (code page 437, '\' between directories); the central header, where
    // there is one, decides in the end.
    SplitStoredName(DecodeStoredName(raw, (e.Flags & kFlagUtf8Name) != 0, true), e.directory_,
                    e.fileName_);
    *this = std::move(e);
    return true;
}

bool TZipHeaderInfo::LoadFileComment(TFileStream& archive) {
    const std::uint64_t back = archive.Position();
    std::uint8_t h[kCentralHeaderSize];
    const bool ok = archive.Seek(CentralHeaderPosition) && archive.Read(h, sizeof h) == sizeof h &&
                    GetLE32(h) == kCentralHeaderSignature &&
                    archive.Skip(std::int64_t(GetLE16(h + 28)) + GetLE16(h + 30));
    std::string comment(ok ? GetLE16(h + 32) : 0, '\0');
    const bool loaded = ok && archive.Read(comment.data(), comment.size()) == comment.size();
    archive.Seek(back);
    if (loaded) {
        SetFileComment(std::move(comment));
    }
    return loaded;
}

} // namespace mzb
