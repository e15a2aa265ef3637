#include "tools/mzb/ConsoleRunHost.h"

#include "zip/base/PrintableName.h"

#include <cstdio>

namespace mzb::cli {

// A message's carriage returns break its lines; any other control
// character, in a file name it quotes, is shown escaped.
void ConsoleRunHost::Print(const std::string& text) {
    std::string lines;
    std::size_t from = 0;
    for (;;) {
        const std::size_t cr = text.find('\r', from);
        lines += PrintableName(std::string_view(text).substr(from, cr - from));
        lines += '\n';
        if (cr == std::string::npos) {
            break;
        }
        from = cr + 1;
    }
    std::fputs(lines.c_str(), stdout);
    // A long-running schedule is watched through a pipe or a log.
    std::fflush(stdout);
}

} // namespace mzb::cli
