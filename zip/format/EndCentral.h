#pragma once
// The end of central directory record of one archive, with the archive
// comment, the search for it at the end of a file, and the ZIP64 end record
// with its locator, which stand before it when a count, size or offset is
// beyond what its classic fields carry.

#include "zip/format/ZipFormat.h"
#include "zip/io/FileStream.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mzb {

class TEndCentral {
public:
    TEndCentral() = default;

    // The signature set, every number zero, no comment, CommentChanged off.
    void Clear() { *this = TEndCentral(); }
    // The record fields, the comment and CommentPosition; not CommentChanged,
    // which belongs to the object the caller set a comment on.
    void Assign(const TEndCentral& source);

    std::uint32_t Signature = kEndCentralSignature;
    std::uint32_t ThisDisk = 0;
    std::uint32_t CentralStartDisk = 0;
    std::uint64_t EntriesThisDisk = 0;
    std::uint64_t TotalEntries = 0;
    std::uint64_t CentralSize = 0;
    std::uint64_t CentralOffset = 0;
    // As found in the record, or the length of the comment set.
    std::size_t CommentLength = 0;
    std::uint64_t CommentPosition = 0; // where the comment starts in the file
    bool CommentChanged = false;

    // Absent until set or loaded; CommentLength may be non-zero then.
    const std::optional<std::string>& ArchiveComment() const { return comment_; }
    void SetArchiveComment(std::string comment);
    // Reads CommentLength bytes at CommentPosition. A comment cut short by
    // the end of the file is kept as far as it goes. False when nothing
    // could be read of a non-empty comment.
    bool LoadComment(TFileStream& archive);

    std::uint64_t RecordSize() const { return kEndCentralSize + CommentLength; }

    // Writes the record and the comment, after a ZIP64 end record and its
    // locator when a count, the directory's size or its offset is beyond the
    // limits; the classic fields that cannot hold their value then hold the
    // marker. Throws EZipFormatError for a comment longer than its field;
    // false on a short write. The comment written is the text held (a length
    // whose text was never loaded is written as 0, keeping the record the
    // file's last bytes).
    bool Write(TFileStream& stream, const TClassicLimits& limits = {}) const;

    // Finds the record in an archive: the last copy of its signature within
    // the final 65 557 bytes, searched backward from 22 bytes before the
    // end. A 0-byte file counts as an archive without entries (this record
    // cleared); a file of 1 to 21 bytes, or one without the signature, is
    // not an archive. On success the record fields and CommentPosition are
    // set; the comment itself is left for LoadComment. A comment the caller
    // set and has not yet written (CommentChanged) is kept.
    bool Locate(TFileStream& archive);

    // After Locate: when a ZIP64 locator stands right before the record,
    // takes the counts, size and offset of the ZIP64 end record it points
    // to. A record that is cut short, lies outside the file or after the
    // locator, keeps its directory anywhere but before itself, counts more
    // entries than its directory has room for or disagrees with a classic
    // field that holds no marker is a damaged one: false when the classic
    // record has a marker and so needs it; otherwise the locator's bytes were
    // something else (the end of a name, say) and the classic record stands.
    // The numbers are unchanged unless the record is taken. True as well
    // when there is no locator.
    bool LoadZip64Record(TFileStream& archive);

private:
    void ClearRecord();

    std::optional<std::string> comment_;
};

} // namespace mzb
