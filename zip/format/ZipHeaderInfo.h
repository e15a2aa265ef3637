#pragma once
// One archive entry: the values of its local and central headers, its name
// split into directory and file name, and the marks the reader and writer
// keep on it.

#include "zip/base/FileTime.h"
#include "zip/format/AesExtraBlock.h"
#include "zip/format/TimeFields.h"
#include "zip/format/ZipFormat.h"
#include "zip/io/FileStream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

class TZipHeaderInfo {
public:
    TZipHeaderInfo() = default;

    // Back to the values of a new entry.
    void Clear() { *this = TZipHeaderInfo(); }
    // Every field, the comment text and the marks.
    void Assign(const TZipHeaderInfo& source) { *this = source; }

    std::uint16_t VersionMadeBy = kVersionMadeBy;
    std::uint16_t VersionNeeded = kVersionNeeded;
    std::uint16_t Flags = 0;
    std::uint16_t CompressionMethod = kMethodDeflated;
    std::uint32_t FileDateTime = 0; // MS-DOS time (low half) and date (high half)
    std::uint32_t Crc32 = 0xFFFFFFFFu;
    // Includes what encryption adds around the data (the traditional
    // cipher's 12-byte header; AES's salt, verifier and authentication code).
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    // The modification time in UTC, in the precision of the extra field
    // ModifiedSource names; when it names none, FileDateTime is all the
    // entry says.
    TFileTime ModifiedUtc;
    // As read from a central header, or as written into it.
    std::uint16_t CentralExtraLength = 0;
    // As read from a local header, or as written into it.
    std::uint16_t LocalExtraLength = 0;
    // Kept when a header is read even though the text is loaded later.
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    // 1 text, 0 binary; 2 while the compressor has not yet decided.
    std::uint16_t InternalAttributes = 1;
    // Where ModifiedUtc comes from; here, rather than beside it, it takes no room.
    TTimeSource ModifiedSource = TTimeSource::DosTime;
    // MS-DOS attributes in the low byte, the Unix mode in the high half.
    std::uint32_t ExternalAttributes = 0x20;
    std::uint64_t RelativeOffset = 0;
    std::uint64_t CentralHeaderPosition = 0;
    // The local header holds a ZIP64 block with both sizes (and a data
    // descriptor, when there is one, 8-byte sizes): found so on reading, or
    // asked for by the writer before the sizes are known.
    bool LocalZip64 = false;
    // The AES block of both headers; written into both whenever present.
    TAesExtra Aes;
    bool Matched = false;
    std::uint8_t RewriteMark = 0; // 2: dropped when the archive is rewritten
    bool Selected = false;

    const std::string& FileName() const { return fileName_; }
    // Empty, or ending in '/'.
    const std::string& Directory() const { return directory_; }
    void SetFileName(std::string_view name);
    // A '/' is appended to a non-empty directory that lacks one.
    void SetDirectory(std::string_view directory);
    // Bytes of the stored name (directory plus file name).
    std::size_t FileNameLength() const { return directory_.size() + fileName_.size(); }

    // Absent until set or loaded; FileCommentLength may be non-zero then.
    std::optional<std::string> FileComment() const {
        const std::string* text = fileComment_.Text();
        return text ? std::optional<std::string>(*text) : std::nullopt;
    }
    void SetFileComment(std::optional<std::string> comment);
    // Reads the comment of an entry read from a central header, from that
    // header again. False when it cannot be read; the entry is unchanged.
    bool LoadFileComment(TFileStream& archive);

    // What the writer records of a file or folder last modified then: the
    // MS-DOS time, and the UTC time to the second where the extended
    // timestamp carries it.
    void SetModificationTime(std::int64_t seconds);
    // The moment of the last modification: the UTC time where the entry has
    // one, else the MS-DOS time read in the local time zone; nothing when
    // that names no real moment.
    std::optional<TFileTime> ModificationTime() const;
    // Negative, zero or positive as the entry was modified before, at or
    // after the file time, compared in the entry's own precision: the time of
    // the file an entry was made from compares equal with it.
    int CompareModificationTime(TFileTime fileTime) const;

    bool IsEncrypted() const { return (Flags & kFlagEncrypted) != 0; }
    bool HasDataDescriptor() const { return (Flags & kFlagDataDescriptor) != 0; }
    bool HasComment() const { return FileCommentLength != 0; }
    // The method the data is compressed with: an AES entry's header says 99
    // and its AES block holds the real one.
    std::uint16_t DataMethod() const {
        return CompressionMethod == kMethodAes && Aes.Present() ? Aes.Method : CompressionMethod;
    }

    std::uint64_t LocalHeaderSize() const {
        return kLocalHeaderSize + FileNameLength() + LocalExtraLength;
    }
    std::uint64_t CentralHeaderSize() const {
        return kCentralHeaderSize + FileNameLength() + CentralExtraLength + FileCommentLength;
    }

    // Whether the headers need the ZIP64 records: the local header asks for
    // them, or a size or the offset is beyond what the classic fields carry.
    bool UsesZip64(const TClassicLimits& limits) const;

    // Write the header and the stored name at the stream's position. The
    // local header's extra field is its ZIP64 block, when LocalZip64 is set
    // or a size needs one (LocalZip64 is then set), and the extended
    // timestamp, when the entry has a UTC time that fits it, followed by
    // `extra` without blocks of those two kinds; LocalExtraLength becomes its
    // length. The central header carries a ZIP64 block for the values beyond
    // the limits (both sizes with LocalZip64), the same extended timestamp
    // and no other block; both headers then carry the AES block when the
    // entry has one (replacing one in `extra`). An entry that uses ZIP64 needs version 4.5, and a
    // name that is valid UTF-8 with non-ASCII bytes the UTF-8 flag: both are
    // set in the entry first. Throw EZipFormatError for a name, comment or
    // extra field longer than its length field; return false when the stream
    // took fewer bytes than written.
    bool WriteLocalHeader(TFileStream& stream, std::string_view extra = {},
                          const TClassicLimits& limits = {}); // sets RelativeOffset first
    bool WriteCentralHeader(TFileStream& stream, const TClassicLimits& limits = {});

    // Read a header at the stream's position. On success the entry holds its
    // values (the time normalised, the name decoded, the values of a ZIP64
    // block in place of the markers, the UTC time of a time block) and the
    // stream stands after the record (a central header's extra field and
    // comment skipped; a local header's extra field not; the AES block
    // read). A header that is
    // short, lacks its signature or marks a value its ZIP64 block does not
    // hold fails: the entry and the stream's position are unchanged then.
    bool ReadCentralHeader(TFileStream& stream);
    bool ReadLocalHeader(TFileStream& stream);

private:
    // The UTF-8 flag and the versions the headers about to be written need.
    void PrepareForWriting(const std::string& storedName, const TClassicLimits& limits);
    // The extended timestamp both headers carry; empty when there is none.
    std::string ExtendedTimeBlockOf() const;
    void TakeTimeFromExtra(std::string_view extra);

    std::string fileName_;
    std::string directory_;
    // An archive's directory holds an entry per file and most have no
    // comment: one pointer keeps each entry small. A copy of the entry
    // copies the text.
    class TComment {
    public:
        TComment() = default;
        explicit TComment(std::string text)
            : text_(std::make_unique<const std::string>(std::move(text))) {}
        TComment(const TComment& other) { *this = other; }
        TComment& operator=(const TComment& other) {
            if (this != &other) {
                text_ = other.text_ ? std::make_unique<const std::string>(*other.text_) : nullptr;
            }
            return *this;
        }
        TComment(TComment&&) noexcept = default;
        TComment& operator=(TComment&&) noexcept = default;

        const std::string* Text() const { return text_.get(); }

    private:
        std::unique_ptr<const std::string> text_;
    };
    TComment fileComment_;
};

} // namespace mzb
