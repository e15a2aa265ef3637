#pragma once
// The extra-field blocks that carry an entry's modification time in UTC,
// beside its MS-DOS time, which is a local time without a zone in steps of
// two seconds:
//
// - the extended timestamp (0x5455): a flags byte naming which of the
//   modification (bit 0), access (bit 1) and creation (bit 2) times the
//   local header's block holds, then each of them as 4 bytes of seconds
//   since 1970. A central header's block holds the modification time at
//   most, whatever its flags name.
// - the NTFS times (0x000A): 4 reserved bytes, then tagged attributes; tag 1,
//   24 bytes, holds the modification, access and creation times as 8-byte
//   counts of 100 nanoseconds since 1601-01-01 UTC.
//
// A block without the length its content needs is ignored, so the MS-DOS
// time stands.

#include "zip/base/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

inline constexpr std::uint16_t kExtraNtfsTimes = 0x000A;
inline constexpr std::uint16_t kExtraExtendedTime = 0x5455;

// The field an entry's modification time comes from, which says its precision.
enum class TTimeSource : std::uint8_t {
    DosTime,      // none of the blocks: 2 seconds, local time
    ExtendedTime, // whole seconds
    NtfsTimes,    // 100 nanoseconds
};

inline constexpr std::uint32_t kNtfsTickNanoseconds = 100;

struct TStoredTime {
    TFileTime Time;
    TTimeSource Source = TTimeSource::DosTime;
};

// The modification time an extra field carries: the NTFS times' when it has
// them, else the extended timestamp's; nothing when it has neither in a sound
// block. The entry's MS-DOS time decides how an extended timestamp with its
// top bit set is read (see the .cpp).
std::optional<TStoredTime> ModificationTimeFromExtra(std::string_view extra,
                                                     std::uint32_t dosDateTime);

// Whether an extended timestamp carries the moment so that other tools read
// it back: from 1970-01-01 00:00:00 to 2106-02-07 06:28:15 UTC.
bool FitsExtendedTime(std::int64_t seconds);

// The extended timestamp block with the modification time alone, the same
// for both headers. The time must fit.
std::string ExtendedTimeBlock(std::int64_t seconds);

} // namespace mzb
