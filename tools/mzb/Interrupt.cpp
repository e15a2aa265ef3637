#include "tools/mzb/Interrupt.h"

#include <csignal>

namespace mzb::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
}

} // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return gInterrupted != 0;
}

void InterruptibleHost::ProcessEvents() {
    if (Interrupted() && component_ != nullptr) {
        component_->Cancel();
    }
}

} // namespace mzb::cli
