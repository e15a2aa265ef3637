#include "core/schedule/MissedBackup.h"

#include "core/base/DateText.h"

#include <gtest/gtest.h>
#include <optional>

namespace mzb {
namespace {

std::optional<LocalDateTime> At(const char* text) {
    return text == nullptr ? std::nullopt : std::optional(ParseDateTime(text).value());
}

TEST(MissedBackup, OnceForEveryKindWhenAScheduledTimePassedSinceTheLastBackup) {
    struct Case {
        const char* what;
        StoredSchedule stored;
        const char* lastBackup;
        const char* now;
        bool missed;
    } const cases[] = {
        {"off for three days",
         {true, 0, "08:00:00"},
         "2024-03-07 08:00:05",
         "2024-03-10 07:00:00",
         true},
        {"daily, started before today's time, ran yesterday",
         {true, 0, "08:00:00"},
         "2024-03-09 08:00:05",
         "2024-03-10 07:00:00",
         false},
        {"daily, slept across two slots",
         {true, 0, "08:00:00"},
         "2024-03-08 08:00:05",
         "2024-03-10 09:00:00",
         true},
        {"daily, ran today",
         {true, 0, "08:00:00"},
         "2024-03-10 08:00:05",
         "2024-03-10 23:00:00",
         false},
        {"daily, unreadable time is noon",
         {true, 0, "soon"},
         "2024-03-10 11:00:00",
         "2024-03-10 12:30:00",
         true},
        {"every 5, slept an hour",
         {true, 1, "5"},
         "2024-03-10 09:00:00",
         "2024-03-10 10:00:00",
         true},
        {"every 5, within the interval",
         {true, 1, "5"},
         "2024-03-10 09:57:00",
         "2024-03-10 10:00:00",
         false},
        {"every 90, just due", {true, 1, "90"}, "2024-03-10 08:30:00", "2024-03-10 10:00:00", true},
        {"weekly, a Sunday passed",
         {true, 2, "Sunday"},
         "2024-03-03 12:00:04",
         "2024-03-11 08:00:00",
         true},
        {"weekly, today before noon",
         {true, 2, "Sunday"},
         "2024-03-03 12:00:04",
         "2024-03-10 11:00:00",
         false},
        {"weekly, a name the table does not take",
         {true, 2, "sunday"},
         "2024-02-01 12:00:00",
         "2024-03-11 08:00:00",
         false},
        {"schedule off",
         {false, 0, "08:00:00"},
         "2024-03-01 08:00:00",
         "2024-03-10 09:00:00",
         false},
        {"never backed up: the table's first run",
         {true, 0, "08:00:00"},
         nullptr,
         "2024-03-10 09:00:00",
         false},
        {"never backed up, every 5", {true, 1, "5"}, nullptr, "2024-03-10 09:00:00", false},
        {"a kind never written",
         {true, 7, "5"},
         "2024-03-01 08:00:00",
         "2024-03-10 09:00:00",
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsBackupMissed(c.stored, At(c.lastBackup), *At(c.now)), c.missed) << c.what;
    }
}

TEST(MissedBackup, ClockTimesHoldAcrossADaylightSavingChange) {
    // 2024-03-31 is the European spring change: the day before has 23 hours
    // in real time, yet the daily time stays 08:00 on the wall clock.
    const StoredSchedule daily{true, 0, "08:00:00"};
    EXPECT_EQ(LastScheduledTime(daily, At("2024-03-30 08:00:00"), *At("2024-03-31 07:59:59")),
              At("2024-03-30 08:00:00"));
    EXPECT_EQ(LastScheduledTime(daily, At("2024-03-30 08:00:00"), *At("2024-03-31 08:00:00")),
              At("2024-03-31 08:00:00"));
    EXPECT_EQ(LastScheduledTime({true, 2, "Saturday"}, std::nullopt, *At("2024-04-05 08:00:00")),
              At("2024-03-30 12:00:00"));
}

} // namespace
} // namespace mzb
