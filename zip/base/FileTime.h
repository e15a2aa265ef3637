#pragma once
// A moment as the file system keeps a file's times: seconds since
// 1970-01-01 00:00 UTC (negative before) and the nanoseconds within that
// second. Unlike an MS-DOS time it names the same moment in every time zone.

#include <compare>
#include <cstdint>

namespace mzb {

struct TFileTime {
    std::int64_t Seconds = 0;
    std::uint32_t Nanoseconds = 0; // 0..999 999 999

    auto operator<=>(const TFileTime&) const = default;
};

} // namespace mzb
