#include "tools/mzb/TerminalHost.h"

#include "zip/base/PrintableName.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace mzb::cli {

TMessageAnswer TerminalHost::MessageBox(const std::string& text, const std::string& caption,
                                        TMessageKind kind, TMessageButtons buttons) {
    if (buttons != TMessageButtons::YesNo) {
        return HeadlessHost::MessageBox(text, caption, kind, buttons);
    }
    std::fprintf(stderr, "%s [y/N] ", PrintableName(text).c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return TMessageAnswer::No;
    }
    return answer == "y" || answer == "Y" || answer == "yes" ? TMessageAnswer::Yes
                                                             : TMessageAnswer::No;
}

} // namespace mzb::cli
