#include "support/TurnMeter.h"

#include <algorithm>
#include <fstream>
#include <string>

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

void TurnMeter::Start() {
    mostRead = 0;
    mostWritten = 0;
    turns = 0;
    ThreadIo(read_, written_);
}

void TurnMeter::ProcessEvents() {
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    ThreadIo(read, written);
    mostRead = std::max(mostRead, read - read_);
    mostWritten = std::max(mostWritten, written - written_);
    ++turns;
    if (onTurn) {
        onTurn();
    }
    // From here: the reading of the counts above is not the run's work.
    ThreadIo(read_, written_);
}

} // namespace mzb::test
