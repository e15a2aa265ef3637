#include "core/base/DateText.h"

#include "platform/Blanks.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace mzb {

namespace {

// Reads 1..maxDigits decimal digits from the front of s.
std::optional<int> TakeNumber(std::string_view& s, size_t minDigits, size_t maxDigits) {
    size_t n = 0;
    while (n < s.size() && n < maxDigits && s[n] >= '0' && s[n] <= '9') {
        ++n;
    }
    if (n < minDigits) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(s.data(), s.data() + n, value);
    s.remove_prefix(n);
    return value;
}

bool TakeChar(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) {
        return false;
    }
    s.remove_prefix(1);
    return true;
}

enum class DayHalf { Am, Pm };

// " AM" or " PM" after a time, as a 12-hour locale writes it ("3:00:00 PM"),
// in any letter case and with or without the blank.
std::optional<DayHalf> TakeDayHalf(std::string_view& s) {
    std::string_view rest = s;
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    if (rest.size() != 2 || (rest[1] != 'M' && rest[1] != 'm')) {
        return std::nullopt;
    }
    const char first = rest[0];
    if (first != 'A' && first != 'a' && first != 'P' && first != 'p') {
        return std::nullopt;
    }
    s = {};
    return first == 'A' || first == 'a' ? DayHalf::Am : DayHalf::Pm;
}

} // namespace

std::string FormatShortDate(LocalDateTime value) {
    const CivilDateTime c = value.Civil();
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.Year, c.Month, c.Day);
    return text;
}

std::string FormatLongTime(LocalDateTime value) {
    const CivilDateTime c = value.Civil();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.Hour, c.Minute, c.Second);
    return text;
}

std::string FormatDateTime(LocalDateTime value) {
    return FormatShortDate(value) + ' ' + FormatLongTime(value);
}

std::string FormatDateTimeShort(LocalDateTime value) {
    return value.MsOfDay() == 0 ? FormatShortDate(value) : FormatDateTime(value);
}

std::optional<LocalDateTime> ParseTimeOfDay(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    const auto hour = TakeNumber(s, 1, 2);
    if (!hour || !TakeChar(s, ':')) {
        return std::nullopt;
    }
    const auto minute = TakeNumber(s, 2, 2);
    if (!minute) {
        return std::nullopt;
    }
    int second = 0;
    if (TakeChar(s, ':')) {
        const auto sec = TakeNumber(s, 2, 2);
        if (!sec) {
            return std::nullopt;
        }
        second = *sec;
    }
    int hour24 = *hour;
    if (const auto half = TakeDayHalf(s)) {
        // The 12-hour clock runs 12, 1, ..., 11 in each half of the day.
        if (*hour < 1 || *hour > 12) {
            return std::nullopt;
        }
        hour24 = *hour % 12 + (*half == DayHalf::Pm ? 12 : 0);
    }
    if (!s.empty() || hour24 > 23 || *minute > 59 || second > 59) {
        return std::nullopt;
    }
    return LocalDateTime::TimeOfDay(hour24, *minute, second);
}

std::optional<LocalDateTime> ParseDateTime(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    const auto year = TakeNumber(s, 4, 4);
    if (!year || !TakeChar(s, '-')) {
        return std::nullopt;
    }
    const auto month = TakeNumber(s, 2, 2);
    if (!month || !TakeChar(s, '-')) {
        return std::nullopt;
    }
    const auto day = TakeNumber(s, 2, 2);
    if (!day) {
        return std::nullopt;
    }
    using namespace std::chrono;
    if (!year_month_day{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                        std::chrono::day{static_cast<unsigned>(*day)}}
             .ok()) {
        return std::nullopt;
    }
    const LocalDateTime date = LocalDateTime::Make(*year, *month, *day);
    if (s.empty()) {
        return date;
    }
    if (!TakeChar(s, ' ')) {
        return std::nullopt;
    }
    const auto time = ParseTimeOfDay(s);
    if (!time || s.front() == ' ') {
        return std::nullopt;
    }
    return LocalDateTime::FromMs(date.Ms() + time->Ms());
}

} // namespace mzb
