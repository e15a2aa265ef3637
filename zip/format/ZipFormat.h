#pragma once
// Fixed values of the archive format: record signatures and sizes, the
// general-purpose flag bits, the versions written and the largest values the
// classic record fields carry before the ZIP64 records take over.

#include <cstdint>

namespace mzb {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50u;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50u;
inline constexpr std::uint32_t kEndCentralSignature = 0x06054B50u;
inline constexpr std::uint32_t kZip64EndCentralSignature = 0x06064B50u;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50u;

// Fixed parts of the records; names, extra fields and comments follow them.
inline constexpr std::uint32_t kLocalHeaderSize = 30;
inline constexpr std::uint32_t kCentralHeaderSize = 46;
inline constexpr std::uint32_t kEndCentralSize = 22;
// The ZIP64 end record as written (its size field counts the bytes after
// the first 12), and its locator, which stands right before the end record.
inline constexpr std::uint32_t kZip64EndCentralSize = 56;
inline constexpr std::uint32_t kZip64LocatorSize = 20;

// General-purpose flag bits.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagMaximumLevel = 0x0002; // levels 8 and 9
inline constexpr std::uint16_t kFlagFastLevel = 0x0004;    // levels 1 and 2
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// Version 2.0 of the format. Entries are made on a Unix host, because other
// tools honour the permission bits in the high half of the external
// attributes only for that host; the low byte keeps the MS-DOS attributes.
inline constexpr std::uint16_t kVersionNeeded = 20;
inline constexpr std::uint16_t kHostUnix = 3;
inline constexpr std::uint16_t kVersionMadeBy = kHostUnix << 8 | kVersionNeeded;
// Version 4.5: the first with the ZIP64 records. Only entries and end
// records that use them say so, so that every other archive stays 2.0.
inline constexpr std::uint16_t kVersionNeededZip64 = 45;

// All ones in a size, offset, count or disk field announces that a ZIP64
// record holds the value, so the largest value a classic field carries is
// one less.
inline constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFFu;
inline constexpr std::uint16_t kZip64Marker16 = 0xFFFFu;
inline constexpr std::uint64_t kMaxField32 = kZip64Marker32 - 1;
inline constexpr std::uint64_t kMaxField16 = kZip64Marker16 - 1;
// Name and comment lengths have no such marker.
inline constexpr std::uint64_t kMaxLength16 = 0xFFFFu;

// The largest values the record writers put into the classic fields; a
// larger one goes into a ZIP64 record. Tests lower them to reach the ZIP64
// records with a few bytes of data.
struct TClassicLimits {
    std::uint64_t MaxField32 = kMaxField32; // sizes and offsets
    std::uint64_t MaxField16 = kMaxField16; // entry counts
};

// The largest archive comment plus the end record: how far from the end of
// the file the end record can start.
inline constexpr std::uint32_t kEndCentralSearchSize = 0xFFFF + kEndCentralSize;

} // namespace mzb
