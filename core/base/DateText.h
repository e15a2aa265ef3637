#pragma once
// The system's date and time texts. Linux gives no single "short date" and
// "long time" format, so the program fixes its own, locale-independent ones:
// the date as YYYY-MM-DD and the time of day as HH:MM:SS (24-hour). Every text
// written here parses back to exactly the value it shows.

#include "platform/LocalDateTime.h"

#include <optional>
#include <string>
#include <string_view>

namespace mzb {

std::string FormatShortDate(LocalDateTime value); // 2024-03-10
std::string FormatLongTime(LocalDateTime value);  // 08:05:00
std::string FormatDateTime(LocalDateTime value);  // 2024-03-10 08:05:00
// The date alone when the time is exactly midnight, as the archive list shows it.
std::string FormatDateTimeShort(LocalDateTime value);

// A time of day, H:MM or H:MM:SS, hours 0 to 23, or on the 12-hour clock
// with AM or PM after it (hours 1 to 12), as the older program wrote it in
// a 12-hour locale; blanks around it are allowed. The result has day 0.
std::optional<LocalDateTime> ParseTimeOfDay(std::string_view text);
// A date, optionally followed by a blank and a time of day.
std::optional<LocalDateTime> ParseDateTime(std::string_view text);

} // namespace mzb
