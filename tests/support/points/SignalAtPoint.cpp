// Linked only into mzb_points, the test build of mzb: MZB_SIGNAL_AT holds
// "POINT:SIGNAL" (for instance "writer-mid-entry:9"), and the first time the
// process passes that point it raises the signal on itself.
#include "zip/base/RunPoint.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string armedPoint; // empty: nothing armed, or already fired
int armedSignal = 0;

void RaiseAtArmedPoint(const char* point) {
    if (armedPoint.empty() || armedPoint != point) {
        return;
    }
    armedPoint.clear(); // once: a caught signal must not come back at every pass
    std::raise(armedSignal);
}

[[maybe_unused]] const bool installed = [] {
    const char* text = std::getenv("MZB_SIGNAL_AT");
    const char* colon = text != nullptr ? std::strrchr(text, ':') : nullptr;
    if (colon != nullptr) {
        armedPoint.assign(text, colon);
        armedSignal = std::atoi(colon + 1);
        mzb::SetRunPointObserver(RaiseAtArmedPoint);
    }
    return true;
}();

} // namespace
