#include "zip/format/ZipHeaderInfo.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/DosDateTime.h"
#include "zip/base/ZipError.h"
#include "zip/format/ExtraField.h"
#include "zip/format/StoredName.h"

#include <algorithm>

namespace mzb {

namespace {

// Field writers that refuse a value rather than cut it: a cut length would
// make an archive that every reader misreads.
class TFieldWriter {
public:
    explicit TFieldWriter(const std::string& storedName) : storedName_(storedName) {}

    std::uint16_t FitLength(std::uint64_t value, const char* what) const {
        if (value > kMaxLength16) {
            throw EZipFormatError("Cannot store " + storedName_ + ": its " + what +
                                  " is beyond the archive format's limit of 65535 bytes");
        }
        return static_cast<std::uint16_t>(value);
    }

private:
    const std::string& storedName_;
};

// The classic field's value: the marker when the ZIP64 block holds it.
std::uint32_t Field32(std::uint64_t value, bool inZip64Block) {
    return inZip64Block ? kZip64Marker32 : static_cast<std::uint32_t>(value);
}

std::optional<std::uint64_t> If(bool present, std::uint64_t value) {
    return present ? std::optional(value) : std::nullopt;
}

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

// A header's fixed part, then the stored name and the extra field whose
// lengths it gives at nameLengthAt; on any failure the stream is back at
// the header's start.
bool ReadHeaderParts(TFileStream& stream, std::uint8_t* fixed, std::size_t fixedSize,
                     std::uint32_t signature, std::size_t nameLengthAt, std::string& raw,
                     std::string& extra) {
    const std::uint64_t start = stream.Position();
    if (!ReadExactly(stream, fixed, fixedSize, start)) {
        return false;
    }
    if (GetLE32(fixed) != signature) {
        stream.Seek(start);
        return false;
    }
    raw.assign(GetLE16(fixed + nameLengthAt), '\0');
    extra.assign(GetLE16(fixed + nameLengthAt + 2), '\0');
    return ReadExactly(stream, raw.data(), raw.size(), start) &&
           ReadExactly(stream, extra.data(), extra.size(), start);
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
    fileComment_ = comment ? TComment(std::move(*comment)) : TComment();
}

void TZipHeaderInfo::SetModificationTime(std::int64_t seconds) {
    FileDateTime = TimeToDosDateTime(static_cast<std::time_t>(seconds));
    const bool exact = FitsExtendedTime(seconds);
    ModifiedSource = exact ? TTimeSource::ExtendedTime : TTimeSource::DosTime;
    ModifiedUtc = {exact ? seconds : 0, 0};
}

std::optional<TFileTime> TZipHeaderInfo::ModificationTime() const {
    if (ModifiedSource != TTimeSource::DosTime) {
        return ModifiedUtc;
    }
    const auto local = DosDateTimeToTime(FileDateTime);
    return local ? std::optional(TFileTime{*local, 0}) : std::nullopt;
}

int TZipHeaderInfo::CompareModificationTime(TFileTime fileTime) const {
    const auto order = [](auto a, auto b) { return a < b ? -1 : a > b ? 1 : 0; };
    switch (ModifiedSource) {
    case TTimeSource::DosTime:
        // Both as local MS-DOS times, so that a time in the hour a zone
        // repeats in autumn still meets its own.
        return order(FileDateTime, NormalizeDosDateTime(TimeToDosDateTime(fileTime.Seconds)));
    case TTimeSource::ExtendedTime:
        return order(ModifiedUtc.Seconds, fileTime.Seconds);
    case TTimeSource::NtfsTimes:
        break;
    }
    fileTime.Nanoseconds -= fileTime.Nanoseconds % kNtfsTickNanoseconds;
    return order(ModifiedUtc, fileTime);
}

void TZipHeaderInfo::TakeTimeFromExtra(std::string_view extra) {
    const auto stored = ModificationTimeFromExtra(extra, FileDateTime);
    ModifiedSource = stored ? stored->Source : TTimeSource::DosTime;
    ModifiedUtc = stored ? stored->Time : TFileTime{};
}

std::string TZipHeaderInfo::ExtendedTimeBlockOf() const {
    return ModifiedSource != TTimeSource::DosTime && FitsExtendedTime(ModifiedUtc.Seconds)
               ? ExtendedTimeBlock(ModifiedUtc.Seconds)
               : std::string();
}

bool TZipHeaderInfo::UsesZip64(const TClassicLimits& limits) const {
    return LocalZip64 || CompressedSize > limits.MaxField32 ||
           UncompressedSize > limits.MaxField32 || RelativeOffset > limits.MaxField32;
}

void TZipHeaderInfo::PrepareForWriting(const std::string& storedName,
                                       const TClassicLimits& limits) {
    if (NeedsUtf8Flag(storedName)) {
        Flags |= kFlagUtf8Name;
    }
    if (UsesZip64(limits)) {
        VersionNeeded = std::max(VersionNeeded, kVersionNeededZip64);
        const auto madeBy = static_cast<std::uint16_t>(VersionMadeBy & 0xFF);
        VersionMadeBy = static_cast<std::uint16_t>((VersionMadeBy & 0xFF00) |
                                                   std::max(madeBy, kVersionNeededZip64));
    }
}

bool TZipHeaderInfo::WriteLocalHeader(TFileStream& stream, std::string_view extra,
                                      const TClassicLimits& limits) {
    RelativeOffset = stream.Position();
    if (CompressedSize > limits.MaxField32 || UncompressedSize > limits.MaxField32) {
        LocalZip64 = true;
    }
    const std::string name = EncodeStoredName(directory_, fileName_);
    PrepareForWriting(name, limits);
    const TFieldWriter fit(name);
    // The note asks a local header's block for both sizes.
    std::string extraField =
        LocalZip64 ? Zip64Block(UncompressedSize, CompressedSize, std::nullopt) : std::string();
    const std::string time = ExtendedTimeBlockOf();
    extraField += time;
    // Blocks of an old header give way to the ones written here, or the
    // header would say two things.
    std::string kept = WithoutExtraBlock(extra, kExtraZip64);
    if (!time.empty()) {
        kept = WithoutExtraBlock(kept, kExtraExtendedTime);
    }
    if (Aes.Present()) {
        extraField += AesExtraBlock(Aes);
        kept = WithoutExtraBlock(kept, kExtraAes);
    }
    extraField += kept;
    LocalExtraLength = fit.FitLength(extraField.size(), "extra field");
    std::string bytes(kLocalHeaderSize, '\0');
    PutLE32(At(bytes, 0), kLocalHeaderSignature);
    PutLE16(At(bytes, 4), VersionNeeded);
    PutLE16(At(bytes, 6), Flags);
    PutLE16(At(bytes, 8), CompressionMethod);
    PutLE32(At(bytes, 10), FileDateTime);
    PutLE32(At(bytes, 14), Crc32);
    PutLE32(At(bytes, 18), Field32(CompressedSize, LocalZip64));
    PutLE32(At(bytes, 22), Field32(UncompressedSize, LocalZip64));
    PutLE16(At(bytes, 26), fit.FitLength(name.size(), "name"));
    PutLE16(At(bytes, 28), LocalExtraLength);
    bytes += name;
    bytes += extraField;
    return WriteAll(stream, bytes);
}

bool TZipHeaderInfo::WriteCentralHeader(TFileStream& stream, const TClassicLimits& limits) {
    const std::string name = EncodeStoredName(directory_, fileName_);
    PrepareForWriting(name, limits);
    const TFieldWriter fit(name);
    // Sizes the local header keeps in its block are kept in this one too, so
    // that both headers say the same in the same way.
    const bool bigUncompressed = LocalZip64 || UncompressedSize > limits.MaxField32;
    const bool bigCompressed = LocalZip64 || CompressedSize > limits.MaxField32;
    const bool bigOffset = RelativeOffset > limits.MaxField32;
    std::string extra =
        (bigUncompressed || bigCompressed || bigOffset
             ? Zip64Block(If(bigUncompressed, UncompressedSize), If(bigCompressed, CompressedSize),
                          If(bigOffset, RelativeOffset))
             : std::string()) +
        ExtendedTimeBlockOf();
    if (Aes.Present()) {
        extra += AesExtraBlock(Aes);
    }
    CentralExtraLength = static_cast<std::uint16_t>(extra.size());
    // A length without its text would shift every header after this one.
    const std::string& comment = fileComment_.Text() ? *fileComment_.Text() : std::string();
    std::string bytes(kCentralHeaderSize, '\0');
    PutLE32(At(bytes, 0), kCentralHeaderSignature);
    PutLE16(At(bytes, 4), VersionMadeBy);
    PutLE16(At(bytes, 6), VersionNeeded);
    PutLE16(At(bytes, 8), Flags);
    PutLE16(At(bytes, 10), CompressionMethod);
    PutLE32(At(bytes, 12), FileDateTime);
    PutLE32(At(bytes, 16), Crc32);
    PutLE32(At(bytes, 20), Field32(CompressedSize, bigCompressed));
    PutLE32(At(bytes, 24), Field32(UncompressedSize, bigUncompressed));
    PutLE16(At(bytes, 28), fit.FitLength(name.size(), "name"));
    PutLE16(At(bytes, 30), CentralExtraLength);
    PutLE16(At(bytes, 32), fit.FitLength(comment.size(), "comment"));
    PutLE16(At(bytes, 34), DiskNumberStart);
    PutLE16(At(bytes, 36), InternalAttributes);
    PutLE32(At(bytes, 38), ExternalAttributes);
    PutLE32(At(bytes, 42), Field32(RelativeOffset, bigOffset));
    bytes += name;
    bytes += extra;
    bytes += comment;
    return WriteAll(stream, bytes);
}

bool TZipHeaderInfo::ReadCentralHeader(TFileStream& stream) {
    const std::uint64_t start = stream.Position();
    std::uint8_t h[kCentralHeaderSize];
    std::string raw;
    std::string extra;
    if (!ReadHeaderParts(stream, h, sizeof h, kCentralHeaderSignature, 28, raw, extra)) {
        return false;
    }
    const std::uint16_t commentLength = GetLE16(h + 32);
    TZip64Fields values{GetLE32(h + 24), GetLE32(h + 20), GetLE32(h + 42), GetLE16(h + 34)};
    if (!ResolveZip64Fields(extra, false, values) || !stream.Skip(commentLength)) {
        stream.Seek(start);
        return false;
    }

    TZipHeaderInfo e;
    e.VersionMadeBy = GetLE16(h + 4);
    e.VersionNeeded = GetLE16(h + 6);
    e.Flags = GetLE16(h + 8);
    e.CompressionMethod = GetLE16(h + 10);
    e.FileDateTime = NormalizeDosDateTime(GetLE32(h + 12));
    e.TakeTimeFromExtra(extra);
    e.Crc32 = GetLE32(h + 16);
    e.CompressedSize = values.CompressedSize;
    e.UncompressedSize = values.UncompressedSize;
    e.CentralExtraLength = static_cast<std::uint16_t>(extra.size());
    e.LocalExtraLength = 0;
    e.FileCommentLength = commentLength;
    // Any disk but the first makes the archive one of several parts.
    e.DiskNumberStart =
        static_cast<std::uint16_t>(std::min<std::uint32_t>(values.DiskNumberStart, 0xFFFF));
    e.InternalAttributes = GetLE16(h + 36);
    e.ExternalAttributes = GetLE32(h + 38);
    e.RelativeOffset = values.LocalHeaderOffset;
    e.CentralHeaderPosition = start;
    e.Aes = FindAesExtra(extra).value_or(TAesExtra{});
    const bool fromDosHost = IsDosHost(e.VersionMadeBy);
    // Only a name without the UTF-8 flag can have a better form in the
    // extra field.
    std::optional<std::string> name;
    if ((e.Flags & kFlagUtf8Name) == 0) {
        name = UnicodePathFromExtra(extra, raw, fromDosHost);
    }
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
    std::string raw;
    std::string extra;
    if (!ReadHeaderParts(stream, h, sizeof h, kLocalHeaderSignature, 26, raw, extra)) {
        return false;
    }
    TZip64Fields values{GetLE32(h + 22), GetLE32(h + 18), 0, 0};
    if (!ResolveZip64Fields(extra, true, values) ||
        !stream.Seek(start + kLocalHeaderSize + raw.size())) {
        stream.Seek(start);
        return false;
    }

    TZipHeaderInfo e;
    e.VersionMadeBy = 0;
    e.VersionNeeded = GetLE16(h + 4);
    e.Flags = GetLE16(h + 6);
    e.CompressionMethod = GetLE16(h + 8);
    e.FileDateTime = NormalizeDosDateTime(GetLE32(h + 10));
    e.TakeTimeFromExtra(extra);
    e.Crc32 = GetLE32(h + 14);
    e.CompressedSize = values.CompressedSize;
    e.UncompressedSize = values.UncompressedSize;
    e.LocalExtraLength = static_cast<std::uint16_t>(extra.size());
    e.LocalZip64 = FindExtraBlock(extra, kExtraZip64).has_value();
    e.Aes = FindAesExtra(extra).value_or(TAesExtra{});
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
