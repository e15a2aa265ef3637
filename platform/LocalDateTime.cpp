#include "platform/LocalDateTime.h"

#include <ctime>

namespace mzb {

namespace {

using namespace std::chrono;

// Days from 1899-12-30 to the Unix epoch 1970-01-01.
constexpr int64_t kEpochOffsetDays = 25569;

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

LocalDateTime LocalDateTime::FromCivil(const CivilDateTime& c) {
    const sys_days day{year{c.Year} / month{static_cast<unsigned>(c.Month)} /
                       static_cast<unsigned>(c.Day)};
    const int64_t days = day.time_since_epoch().count() + kEpochOffsetDays;
    const int64_t msOfDay =
        ((int64_t{c.Hour} * 60 + c.Minute) * 60 + c.Second) * 1000 + c.Millisecond;
    return FromMs(days * kMsPerDay + msOfDay);
}

LocalDateTime LocalDateTime::Make(int year, int month, int day, int hour, int minute, int second) {
    return FromCivil({year, month, day, hour, minute, second, 0});
}

LocalDateTime LocalDateTime::TimeOfDay(int hour, int minute, int second) {
    return FromMs(((int64_t{hour} * 60 + minute) * 60 + second) * 1000);
}

LocalDateTime LocalDateTime::FromSystem(system_clock::time_point moment) {
    const auto ms = duration_cast<milliseconds>(moment.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    return FromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, static_cast<int>(ms - int64_t{seconds} * 1000)});
}

system_clock::time_point LocalDateTime::ToSystem() const {
    const CivilDateTime civil = Civil();
    std::tm parts{};
    parts.tm_year = civil.Year - 1900;
    parts.tm_mon = civil.Month - 1;
    parts.tm_mday = civil.Day;
    parts.tm_hour = civil.Hour;
    parts.tm_min = civil.Minute;
    parts.tm_sec = civil.Second;
    parts.tm_isdst = -1; // the zone's rules say whether summer time applies
    return system_clock::from_time_t(std::mktime(&parts));
}

LocalDateTime LocalDateTime::Now() {
    return FromSystem(system_clock::now());
}

LocalDateTime LocalDateTime::FromDos(uint32_t packed) {
    const int date = static_cast<int>(packed >> 16);
    const int time = static_cast<int>(packed & 0xFFFF);
    CivilDateTime c{1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F,
                    time >> 11,         (time >> 5) & 0x3F, (time & 0x1F) * 2};
    const year_month_day ymd{year{c.Year}, month{static_cast<unsigned>(c.Month)},
                             day{static_cast<unsigned>(c.Day)}};
    if (!ymd.ok() || c.Hour > 23 || c.Minute > 59 || c.Second > 59) {
        return Make(1980, 1, 1);
    }
    return FromCivil(c);
}

int64_t LocalDateTime::Days() const {
    return FloorDiv(ms_, kMsPerDay);
}

int64_t LocalDateTime::MsOfDay() const {
    return ms_ - Days() * kMsPerDay;
}

CivilDateTime LocalDateTime::Civil() const {
    const year_month_day ymd{sys_days{days{Days() - kEpochOffsetDays}}};
    const int64_t msOfDay = MsOfDay();
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(msOfDay / 3'600'000),
            static_cast<int>(msOfDay / 60'000 % 60),
            static_cast<int>(msOfDay / 1000 % 60),
            static_cast<int>(msOfDay % 1000)};
}

int LocalDateTime::DayOfWeek() const {
    const weekday wd{sys_days{days{Days() - kEpochOffsetDays}}};
    return static_cast<int>(wd.c_encoding());
}

uint32_t LocalDateTime::ToDos() const {
    CivilDateTime c = Civil();
    if (c.Year < 1980) {
        c = {1980, 1, 1, 0, 0, 0, 0};
    } else if (c.Year > 2107) {
        c = {2107, 12, 31, 23, 59, 58, 0};
    }
    const uint32_t date = static_cast<uint32_t>(((c.Year - 1980) << 9) | (c.Month << 5) | c.Day);
    const uint32_t time = static_cast<uint32_t>((c.Hour << 11) | (c.Minute << 5) | (c.Second / 2));
    return (date << 16) | time;
}

} // namespace mzb
