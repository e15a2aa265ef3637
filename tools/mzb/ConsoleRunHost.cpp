#include "tools/mzb/ConsoleRunHost.h"

#include <cstdio>

namespace mzb::cli {

void ConsoleRunHost::Print(std::string text) {
    progress_.Clear();
    for (char& c : text) {
        if (c == '\r') {
            c = '\n';
        }
    }
    std::printf("%s\n", text.c_str());
    // A long-running schedule is watched through a pipe or a log.
    std::fflush(stdout);
}

} // namespace mzb::cli
