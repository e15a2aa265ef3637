#pragma once
// Fixed values of the archive format: record signatures and sizes, the
// general-purpose flag bits, the versions written and the largest values the
// record fields can carry.

#include <cstdint>

namespace mzb {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50u;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50u;
inline constexpr std::uint32_t kEndCentralSignature = 0x06054B50u;

// Fixed parts of the records; names, extra fields and comments follow them.
inline constexpr std::uint32_t kLocalHeaderSize = 30;
inline constexpr std::uint32_t kCentralHeaderSize = 46;
inline constexpr std::uint32_t kEndCentralSize = 22;

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

// All ones in a size, offset or count field announces a ZIP64 record, which
// this engine does not write, so the largest value written is one less.
inline constexpr std::uint64_t kMaxField32 = 0xFFFFFFFEu;
inline constexpr std::uint64_t kMaxField16 = 0xFFFEu;
// Name and comment lengths have no such marker.
inline constexpr std::uint64_t kMaxLength16 = 0xFFFFu;

// The largest archive comment plus the end record: how far from the end of
// the file the end record can start.
inline constexpr std::uint32_t kEndCentralSearchSize = 0xFFFF + kEndCentralSize;

} // namespace mzb
