#pragma once
// Sets an environment variable for the length of a scope and puts back what
// was there; a change of TZ also makes the C library read the zone again.

#include <optional>
#include <string>

namespace mzb::test {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Central European time with its daylight saving rules, written out so that
// no time zone database is needed: clocks go forward from 02:00 to 03:00 on
// the last Sunday of March and back from 03:00 to 02:00 on the last Sunday
// of October.
inline constexpr const char* kZoneWithDaylightSaving = "CET-1CEST,M3.5.0,M10.5.0/3";

// New York's rules since 2007, written out the same way: clocks go forward
// from 02:00 EST to 03:00 EDT on the second Sunday of March and back from
// 02:00 EDT to 01:00 EST on the first Sunday of November.
inline constexpr const char* kNewYorkZone = "EST5EDT,M3.2.0,M11.1.0";

} // namespace mzb::test
