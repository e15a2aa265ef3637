#include "support/TurnMeter.h"

#include "zip/base/ZipError.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace mzb::test {
namespace {

// The calling thread's counts of bytes passed to read and write calls.
void ThreadIo(std::uint64_t& read, std::uint64_t& written) {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            read = value;
        } else if (key == "wchar:") {
            written = value;
        }
    }
}

} // namespace

void TurnMeter::Follow(bool on) {
    following_ = on;
    percent_ = 0;
    percentAtTurn_ = 0;
}

void TurnMeter::Percent(int percent) {
    percent_ = percent;
    if (following_) {
        mostRise_ = std::max(mostRise_, percent - percentAtTurn_);
    }
}

void TurnMeter::CancelAt(int percent, std::function<void()> cancel) {
    cancelAt_ = percent;
    cancel_ = std::move(cancel);
}

std::string TurnMeter::Measure(const std::function<std::string()>& run) {
    mostRead_ = 0;
    mostWritten_ = 0;
    mostRise_ = 0;
    ThreadIo(read_, written_);
    try {
        return run();
    } catch (const EUserCanceled&) {
        return "canceled";
    }
}

void TurnMeter::ExpectStepsKept() const {
    EXPECT_LE(mostRead_, kMostBetweenTurns);
    EXPECT_LE(mostWritten_, kMostBetweenTurns);
    EXPECT_LE(mostRise_, 1);
}

void TurnMeter::ProcessEvents() {
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    ThreadIo(read, written);
    mostRead_ = std::max(mostRead_, read - read_);
    mostWritten_ = std::max(mostWritten_, written - written_);
    percentAtTurn_ = percent_;
    if (following_ && percent_ >= cancelAt_ && cancel_) {
        cancel_();
    }
    // From here: the reading of the counts above is not the run's work.
    ThreadIo(read_, written_);
}

} // namespace mzb::test
