#include "zip/format/EndCentral.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/ZipError.h"

#include <algorithm>
#include <vector>

namespace mzb {

namespace {

// A classic field agrees with its ZIP64 value when it holds the marker or
// the very value.
bool Agrees(std::uint64_t classic, std::uint64_t marker, std::uint64_t value) {
    return classic == marker || classic == value;
}

} // namespace

void TEndCentral::Assign(const TEndCentral& source) {
    const bool changed = CommentChanged;
    *this = source;
    CommentChanged = changed;
    if (comment_) {
        CommentLength = comment_->size();
    }
}

void TEndCentral::SetArchiveComment(std::string comment) {
    CommentLength = comment.size();
    comment_ = std::move(comment);
}

bool TEndCentral::LoadComment(TFileStream& archive) {
    std::string text(CommentLength, '\0');
    const std::size_t got =
        archive.Seek(CommentPosition) ? archive.Read(text.data(), text.size()) : 0;
    if (got == 0 && CommentLength != 0) {
        return false;
    }
    text.resize(got);
    SetArchiveComment(std::move(text));
    return true;
}

bool TEndCentral::Write(TFileStream& stream, const TClassicLimits& limits) const {
    const std::string& comment = comment_ ? *comment_ : std::string();
    if (comment.size() > kMaxLength16) {
        throw EZipFormatError("Cannot write the archive: the archive comment's length is beyond "
                              "what the archive format can hold");
    }
    const bool bigCounts = EntriesThisDisk > limits.MaxField16 || TotalEntries > limits.MaxField16;
    const bool bigSize = CentralSize > limits.MaxField32;
    const bool bigOffset = CentralOffset > limits.MaxField32;
    std::string bytes;
    if (bigCounts || bigSize || bigOffset) {
        const std::uint64_t recordStart = stream.Position();
        bytes.assign(kZip64EndCentralSize + kZip64LocatorSize, '\0');
        auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
        PutLE32(p, kZip64EndCentralSignature);
        PutLE64(p + 4, kZip64EndCentralSize - 12);
        PutLE16(p + 12, kHostUnix << 8 | kVersionNeededZip64);
        PutLE16(p + 14, kVersionNeededZip64);
        PutLE32(p + 16, ThisDisk);
        PutLE32(p + 20, CentralStartDisk);
        PutLE64(p + 24, EntriesThisDisk);
        PutLE64(p + 32, TotalEntries);
        PutLE64(p + 40, CentralSize);
        PutLE64(p + 48, CentralOffset);
        p += kZip64EndCentralSize;
        PutLE32(p, kZip64LocatorSignature);
        PutLE32(p + 4, ThisDisk);
        PutLE64(p + 8, recordStart);
        PutLE32(p + 16, ThisDisk + 1);
    }
    const std::size_t classic = bytes.size();
    bytes.resize(classic + kEndCentralSize);
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data()) + classic;
    PutLE32(p, Signature);
    PutLE16(p + 4, static_cast<std::uint16_t>(ThisDisk));
    PutLE16(p + 6, static_cast<std::uint16_t>(CentralStartDisk));
    PutLE16(p + 8, bigCounts ? kZip64Marker16 : static_cast<std::uint16_t>(EntriesThisDisk));
    PutLE16(p + 10, bigCounts ? kZip64Marker16 : static_cast<std::uint16_t>(TotalEntries));
    PutLE32(p + 12, bigSize ? kZip64Marker32 : static_cast<std::uint32_t>(CentralSize));
    PutLE32(p + 16, bigOffset ? kZip64Marker32 : static_cast<std::uint32_t>(CentralOffset));
    PutLE16(p + 20, static_cast<std::uint16_t>(comment.size()));
    bytes += comment;
    return stream.Write(bytes.data(), bytes.size()) == bytes.size();
}

void TEndCentral::ClearRecord() {
    if (!CommentChanged) {
        Clear();
        return;
    }
    std::optional<std::string> pending = std::move(comment_);
    Clear();
    CommentChanged = true;
    CommentLength = pending ? pending->size() : 0;
    comment_ = std::move(pending);
}

bool TEndCentral::Locate(TFileStream& archive) {
    const std::uint64_t size = archive.Size();
    if (size < kEndCentralSize) {
        if (size == 0) {
            ClearRecord();
            return true;
        }
        return false;
    }
    const std::size_t window =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndCentralSearchSize));
    const std::uint64_t windowStart = size - window;
    std::vector<std::uint8_t> tail(window);
    if (!archive.Seek(windowStart) || archive.Read(tail.data(), window) != window) {
        return false;
    }
    // The record's 22 bytes must lie inside the window, so the last place
    // it can start is 22 bytes before the end.
    for (std::size_t i = window - kEndCentralSize + 1; i-- > 0;) {
        const std::uint8_t* p = tail.data() + i;
        if (p[0] != 0x50 || GetLE32(p) != kEndCentralSignature) {
            continue;
        }
        ClearRecord();
        ThisDisk = GetLE16(p + 4);
        CentralStartDisk = GetLE16(p + 6);
        EntriesThisDisk = GetLE16(p + 8);
        TotalEntries = GetLE16(p + 10);
        CentralSize = GetLE32(p + 12);
        CentralOffset = GetLE32(p + 16);
        if (!CommentChanged) {
            CommentLength = GetLE16(p + 20);
        }
        CommentPosition = windowStart + i + kEndCentralSize;
        return true;
    }
    return false;
}

bool TEndCentral::LoadZip64Record(TFileStream& archive) {
    const std::uint64_t recordStart = CommentPosition - kEndCentralSize;
    if (recordStart < kZip64LocatorSize) {
        return true;
    }
    const std::uint64_t locatorStart = recordStart - kZip64LocatorSize;
    std::uint8_t locator[kZip64LocatorSize];
    if (!archive.Seek(locatorStart) || archive.Read(locator, sizeof locator) != sizeof locator ||
        GetLE32(locator) != kZip64LocatorSignature) {
        return true;
    }
    // The record is on another part of a split archive: the caller refuses
    // those by their disk numbers.
    if (GetLE32(locator + 4) != 0 || GetLE32(locator + 16) > 1) {
        ThisDisk = std::max<std::uint32_t>(ThisDisk, 1);
        return true;
    }
    // Without a marker in the end record the locator's bytes may be the end
    // of a name that happens to hold them: then only a sound ZIP64 record
    // counts, and anything else is no ZIP64 record at all.
    const bool needed = ThisDisk == kZip64Marker16 || CentralStartDisk == kZip64Marker16 ||
                        EntriesThisDisk == kZip64Marker16 || TotalEntries == kZip64Marker16 ||
                        CentralSize == kZip64Marker32 || CentralOffset == kZip64Marker32;
    const std::uint64_t zip64Start = GetLE64(locator + 8);
    // The record, and whatever it says follows it, lie before the locator.
    if (zip64Start > locatorStart || locatorStart - zip64Start < kZip64EndCentralSize) {
        return !needed;
    }
    std::uint8_t r[kZip64EndCentralSize];
    if (!archive.Seek(zip64Start) || archive.Read(r, sizeof r) != sizeof r ||
        GetLE32(r) != kZip64EndCentralSignature) {
        return !needed;
    }
    const std::uint64_t recordSize = GetLE64(r + 4);
    if (recordSize < kZip64EndCentralSize - 12 || recordSize > locatorStart - zip64Start - 12) {
        return !needed;
    }
    const std::uint32_t thisDisk = GetLE32(r + 16);
    const std::uint32_t centralStartDisk = GetLE32(r + 20);
    const std::uint64_t entriesThisDisk = GetLE64(r + 24);
    const std::uint64_t totalEntries = GetLE64(r + 32);
    const std::uint64_t centralSize = GetLE64(r + 40);
    const std::uint64_t centralOffset = GetLE64(r + 48);
    // The directory lies before the record, and every header in it takes at
    // least its fixed part: no count can ask for more than the file holds.
    if (centralOffset > zip64Start || centralSize > zip64Start - centralOffset ||
        totalEntries > centralSize / kCentralHeaderSize || entriesThisDisk > totalEntries) {
        return !needed;
    }
    if (!Agrees(ThisDisk, kZip64Marker16, thisDisk) ||
        !Agrees(CentralStartDisk, kZip64Marker16, centralStartDisk) ||
        !Agrees(EntriesThisDisk, kZip64Marker16, entriesThisDisk) ||
        !Agrees(TotalEntries, kZip64Marker16, totalEntries) ||
        !Agrees(CentralSize, kZip64Marker32, centralSize) ||
        !Agrees(CentralOffset, kZip64Marker32, centralOffset)) {
        return !needed;
    }
    ThisDisk = thisDisk;
    CentralStartDisk = centralStartDisk;
    EntriesThisDisk = entriesThisDisk;
    TotalEntries = totalEntries;
    CentralSize = centralSize;
    CentralOffset = centralOffset;
    return true;
}

} // namespace mzb
