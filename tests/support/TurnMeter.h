#pragma once
// A host that measures the work an engine run does between two of the
// turns it gives its host (its calls of ProcessEvents): the bytes the run's
// own thread read and wrote in between, as the kernel counts them, and how
// far the percentage of one file it follows rose. Work counted this way
// does not depend on the clock, the machine's load or what worker threads
// do meanwhile.
//
//   meter.CancelAt(40, [&] { reader.Cancel(); });
//   reader.OnStartUnZip = [&](..., int i, ...) { meter.Follow(i == 1); };
//   reader.OnFilePercentDone = [&](TZipReader&, int p) { meter.Percent(p); };
//   const std::string result = meter.Measure([&] { return std::to_string(reader.RunUnZip()); });
//   meter.ExpectStepsKept();

#include "zip/base/HeadlessHost.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mzb::test {

class TurnMeter : public HeadlessHost {
public:
    // The most a run may do between two turns: a 32 KiB step, plus what a
    // file stream's 8 KiB buffer and a few headers may add to it.
    static constexpr std::uint64_t kMostBetweenTurns = 32768 + 8192 + 1024;

    // A file starts: its percentages are followed when `on`.
    void Follow(bool on);
    void Percent(int percent);
    // At the first turn at which the followed file has reached `percent`.
    void CancelAt(int percent, std::function<void()> cancel);
    // Runs `run` in this thread, measured; its result, or "canceled" when a
    // cancel ended it.
    std::string Measure(const std::function<std::string()>& run);
    // Between any two turns: no more than kMostBetweenTurns read or written,
    // and the followed percentage up by one at most.
    void ExpectStepsKept() const;

    void ProcessEvents() override;

private:
    std::uint64_t read_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t mostRead_ = 0;
    std::uint64_t mostWritten_ = 0;
    bool following_ = false;
    int percent_ = 0;
    int percentAtTurn_ = 0;
    int mostRise_ = 0;
    int cancelAt_ = 101;
    std::function<void()> cancel_;
};

} // namespace mzb::test
