#pragma once
// A wall-clock time in the time zone in force (TZ), as the C library reads
// it: the moment a test expects a local time to name.

#include <ctime>

namespace mzb::test {

inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1; // whatever the zone's rules say for that day
    return std::mktime(&tm);
}

} // namespace mzb::test
