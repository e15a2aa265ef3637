#pragma once
// Naive local wall-clock date-times: a day count and a time of day, with no
// time zone. Adding a day keeps the clock time across daylight-saving
// changes, which is what schedules and date filters expect.
//
// Counted in milliseconds from 1899-12-30 00:00:00, so that day 0 is the
// "no date" of a bare time of day and the value 0 can stand for "no limit".

#include <chrono>
#include <cstdint>

namespace mzb {

struct CivilDateTime {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

class LocalDateTime {
public:
    static constexpr int64_t kMsPerDay = 86'400'000;

    constexpr LocalDateTime() = default;
    static constexpr LocalDateTime FromMs(int64_t ms) { return LocalDateTime(ms); }
    static LocalDateTime FromCivil(const CivilDateTime& c);
    static LocalDateTime Make(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    // A bare time of day (day 0).
    static LocalDateTime TimeOfDay(int hour, int minute, int second);
    // The local wall-clock reading of a moment, through the C library's time zone rules.
    static LocalDateTime FromSystem(std::chrono::system_clock::time_point moment);
    static LocalDateTime Now();
    // MS-DOS packed date (high 16 bits) and time (low 16 bits); bits that
    // name no valid date give 1980-01-01.
    static LocalDateTime FromDos(uint32_t packed);

    constexpr int64_t Ms() const { return ms_; }
    constexpr bool IsZero() const { return ms_ == 0; }
    // Whole days since 1899-12-30, rounded down.
    int64_t Days() const;
    int64_t MsOfDay() const;
    LocalDateTime DatePart() const { return FromMs(Days() * kMsPerDay); }
    CivilDateTime Civil() const;
    // The moment this local wall-clock reading names, to the second, through
    // the C library's time zone rules: FromSystem's inverse.
    std::chrono::system_clock::time_point ToSystem() const;
    // 0 = Sunday ... 6 = Saturday.
    int DayOfWeek() const;
    // Years outside 1980..2107 are clamped to the ends of that range.
    uint32_t ToDos() const;

    LocalDateTime operator+(std::chrono::milliseconds d) const { return FromMs(ms_ + d.count()); }
    friend constexpr auto operator<=>(LocalDateTime, LocalDateTime) = default;

private:
    constexpr explicit LocalDateTime(int64_t ms) : ms_(ms) {}
    int64_t ms_ = 0;
};

} // namespace mzb
