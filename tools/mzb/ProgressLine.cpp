#include "tools/mzb/ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace mzb::cli {
namespace {

// A new name alone redraws at most this often: thousands of small files a
// second would otherwise keep the terminal busy.
constexpr auto kNameRedraw = std::chrono::milliseconds(100);
// Leaves room for the percentage on an 80-column terminal.
constexpr std::size_t kNameColumns = 72;

} // namespace

TProgressLine::TProgressLine(bool quiet) : active_(!quiet && ::isatty(STDERR_FILENO) == 1) {}

void TProgressLine::SetPercent(int percent) {
    if (percent != percent_) {
        percent_ = percent;
        Draw();
    }
}

void TProgressLine::SetName(const std::string& name) {
    name_ = name;
    if (std::chrono::steady_clock::now() - lastDraw_ >= kNameRedraw) {
        Draw();
    }
}

void TProgressLine::Clear() {
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}

void TProgressLine::Draw() {
    if (!active_) {
        return;
    }
    // The end of a long name says more than its start.
    const std::string name =
        name_.size() > kNameColumns ? "..." + name_.substr(name_.size() - kNameColumns + 3) : name_;
    std::fprintf(stderr, "\r\033[K%3d%% %s", percent_, name.c_str());
    std::fflush(stderr);
    shown_ = true;
    lastDraw_ = std::chrono::steady_clock::now();
}

} // namespace mzb::cli
