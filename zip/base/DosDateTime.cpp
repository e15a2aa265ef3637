#include "zip/base/DosDateTime.h"

#include <algorithm>

namespace mzb {

namespace {

constexpr int kBaseYear = 1980;
constexpr int kLastYearField = 127;           // 7 bits
constexpr int kLastNormalizedYearField = 119; // 2099

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

std::uint32_t PackDosDateTime(const TDosDateTimeParts& p) {
    const auto time = static_cast<std::uint32_t>(p.hour << 11 | p.minute << 5 | p.second / 2);
    const auto date = static_cast<std::uint32_t>((p.year - kBaseYear) << 9 | p.month << 5 | p.day);
    return date << 16 | time;
}

TDosDateTimeParts UnpackDosDateTime(std::uint32_t value) {
    const std::uint32_t time = value & 0xFFFFu;
    const std::uint32_t date = value >> 16;
    return TDosDateTimeParts{
        .year = static_cast<int>(date >> 9) + kBaseYear,
        .month = static_cast<int>((date >> 5) & 0x0F),
        .day = static_cast<int>(date & 0x1F),
        .hour = static_cast<int>(time >> 11),
        .minute = static_cast<int>((time >> 5) & 0x3F),
        .second = static_cast<int>(time & 0x1F) * 2,
    };
}

std::uint32_t NormalizeDosDateTime(std::uint32_t value) {
    TDosDateTimeParts p = UnpackDosDateTime(value);
    p.second = std::min(p.second, 58);
    p.minute = std::min(p.minute, 59);
    p.hour = std::min(p.hour, 23);
    p.day = std::max(p.day, 1);
    p.month = std::clamp(p.month, 1, 12);
    p.year = std::min(p.year, kBaseYear + kLastNormalizedYearField);
    return PackDosDateTime(p);
}

bool IsValidDosDateTime(std::uint32_t value) {
    const TDosDateTimeParts p = UnpackDosDateTime(value);
    return p.second <= 58 && p.minute <= 59 && p.hour <= 23 && p.month >= 1 && p.month <= 12 &&
           p.day >= 1 && p.day <= DaysInMonth(p.year, p.month);
}

std::optional<std::time_t> DosDateTimeToTime(std::uint32_t value) {
    if (!IsValidDosDateTime(value)) {
        return std::nullopt;
    }
    const TDosDateTimeParts p = UnpackDosDateTime(value);
    std::tm tm{};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    tm.tm_isdst = -1; // let the zone's rules say whether summer time applies
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return t;
}

std::uint32_t TimeToDosDateTime(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr || tm.tm_year + 1900 < kBaseYear) {
        return PackDosDateTime({kBaseYear, 1, 1, 0, 0, 0});
    }
    if (tm.tm_year + 1900 > kBaseYear + kLastYearField) {
        return PackDosDateTime({kBaseYear + kLastYearField, 12, 31, 23, 59, 58});
    }
    // A leap second (tm_sec 60) is kept in range.
    return PackDosDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                            std::min(tm.tm_sec, 59)});
}

} // namespace mzb
