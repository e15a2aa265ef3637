#pragma once
// A host that measures the work an engine run does between two of the
// turns it gives its host (its calls of ProcessEvents): the bytes the run's
// own thread read and wrote in between, as the kernel counts them. Work
// counted this way does not depend on the clock, the machine's load or what
// worker threads do meanwhile.

#include "zip/base/HeadlessHost.h"

#include <cstdint>
#include <functional>

namespace mzb::test {

class TurnMeter : public HeadlessHost {
public:
    // The most a run may do between two turns: a 32 KiB step, plus what a
    // file stream's 8 KiB buffer and a few headers may add to it.
    static constexpr std::uint64_t kMostBetweenTurns = 32768 + 8192 + 1024;

    // Measures from now on, in the calling thread (the one that will run).
    void Start();
    void ProcessEvents() override;

    std::uint64_t mostRead = 0;
    std::uint64_t mostWritten = 0;
    int turns = 0;
    // Runs at every turn, after the measuring; a test cancels from there.
    std::function<void()> onTurn;

private:
    std::uint64_t read_ = 0;
    std::uint64_t written_ = 0;
};

} // namespace mzb::test
