#include "tools/mzb/ConsoleRunHost.h"

#include "zip/base/PrintableName.h"

#include <cstdio>
#include <iostream>
#include <map>

namespace mzb::cli {

// A message's carriage returns break its lines; any other control
// character, in a file name it quotes, is shown escaped.
void ConsoleRunHost::Print(const std::string& text) {
    progress_.Clear();
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

OverwriteAnswer ConsoleRunHost::AskOverwrite(const std::string& text) {
    static const std::map<std::string, OverwriteAnswer> kAnswers = {
        {"y", OverwriteAnswer::Yes},    {"A", OverwriteAnswer::YesToAll},
        {"n", OverwriteAnswer::No},     {"N", OverwriteAnswer::NoToAll},
        {"c", OverwriteAnswer::Cancel},
    };
    progress_.Clear();
    for (;;) {
        std::fprintf(stderr,
                     "%s [y]es, [A]ll, [n]o, [N]one, [c]ancel: ", PrintableName(text).c_str());
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::fputc('\n', stderr);
            return OverwriteAnswer::NoToAll;
        }
        if (const auto it = kAnswers.find(answer); it != kAnswers.end()) {
            return it->second;
        }
    }
}

} // namespace mzb::cli
