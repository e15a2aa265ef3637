#pragma once
// MS-DOS dates and times as the archive records hold them: one 32-bit value,
// the time in the low half (hours*2048 + minutes*32 + seconds/2), the date
// in the high half ((year-1980)*512 + month*32 + day). They are local
// wall-clock times without a time zone.

#include <cstdint>
#include <ctime>
#include <optional>

namespace mzb {

struct TDosDateTimeParts {
    int year;   // 1980..2107
    int month;  // 1..12
    int day;    // 1..31
    int hour;   // 0..23
    int minute; // 0..59
    int second; // 0..58, even
};

std::uint32_t PackDosDateTime(const TDosDateTimeParts& parts);
TDosDateTimeParts UnpackDosDateTime(std::uint32_t value);

// Clamps each field of a stored value into range (seconds/2 to 29, minutes
// to 59, hours to 23, day 0 to 1, month into 1..12, year to 2099), leaving a
// value whose fields are all in range unchanged.
std::uint32_t NormalizeDosDateTime(std::uint32_t value);

// True when the value names a real moment: every field in range and the day
// within its month.
bool IsValidDosDateTime(std::uint32_t value);

// The moment the value names in local time; nothing when it is not valid.
std::optional<std::time_t> DosDateTimeToTime(std::uint32_t value);

// The local wall-clock time of t, seconds rounded down to even. Moments
// before 1980 give the first representable value and those after 2107 the
// last, since the fields cannot hold them.
std::uint32_t TimeToDosDateTime(std::time_t t);

} // namespace mzb
