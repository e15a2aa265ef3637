#pragma once
// Host services for mzb: questions are asked on the terminal, everything
// else behaves as in any headless run.

#include "zip/base/HeadlessHost.h"

namespace mzb::cli {

class TerminalHost : public HeadlessHost {
public:
    TMessageAnswer MessageBox(const std::string& text, const std::string& caption,
                              TMessageKind kind, TMessageButtons buttons) override;
};

} // namespace mzb::cli
