#include "zip/base/TestSignal.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace mzb {
namespace {

struct TArmedPoint {
    std::string point; // empty: nothing armed, or already fired
    int signal = 0;
};

TArmedPoint ReadArmedPoint() {
    TArmedPoint armed;
    const char* text = std::getenv("MZB_TEST_SIGNAL_AT");
    const char* colon = text != nullptr ? std::strrchr(text, ':') : nullptr;
    if (colon != nullptr) {
        armed.point.assign(text, colon);
        armed.signal = std::atoi(colon + 1);
    }
    return armed;
}

} // namespace

void TestSignalPoint(const char* point) {
    static TArmedPoint armed = ReadArmedPoint();
    if (armed.point.empty() || armed.point != point) {
        return;
    }
    armed.point.clear(); // once: a caught signal must not come back at every pass
    std::raise(armed.signal);
}

} // namespace mzb
