#include "zip/format/EndCentral.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/ZipError.h"

#include <algorithm>
#include <vector>

namespace mzb {

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

bool TEndCentral::Write(TFileStream& stream) const {
    const std::string& comment = comment_ ? *comment_ : std::string();
    auto refuse = [](const std::string& what) {
        throw EZipFormatError("Cannot write the archive: " + what +
                              " is beyond what the archive format can hold");
    };
    if (EntriesThisDisk > kMaxField16 || TotalEntries > kMaxField16) {
        refuse("the number of entries (" + std::to_string(TotalEntries) + ")");
    }
    if (CentralSize > kMaxField32 || CentralOffset > kMaxField32) {
        refuse("the archive size");
    }
    if (comment.size() > kMaxLength16) {
        refuse("the archive comment's length");
    }
    std::string bytes(kEndCentralSize, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutLE32(p, Signature);
    PutLE16(p + 4, ThisDisk);
    PutLE16(p + 6, CentralStartDisk);
    PutLE16(p + 8, static_cast<std::uint16_t>(EntriesThisDisk));
    PutLE16(p + 10, static_cast<std::uint16_t>(TotalEntries));
    PutLE32(p + 12, static_cast<std::uint32_t>(CentralSize));
    PutLE32(p + 16, static_cast<std::uint32_t>(CentralOffset));
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

} // namespace mzb
