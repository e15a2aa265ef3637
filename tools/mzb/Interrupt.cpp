#include "tools/mzb/Interrupt.h"

#include <csignal>
#include <cstdio>

namespace mzb::cli {
namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnInterrupt(int signal) {
    gSignal = signal;
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

} // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // No SA_RESTART: a wait on the terminal ends, and so does the command.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool Interrupted() {
    return gSignal != 0;
}

int ReportInterrupted(const std::string& unfinished) {
    const int signal = gSignal;
    std::fprintf(stderr, "mzb: interrupted by %s: %s\n", SignalName(signal), unfinished.c_str());
    return 128 + signal;
}

void InterruptibleHost::ProcessEvents() {
    if (Interrupted() && component_ != nullptr) {
        component_->Cancel();
    }
}

} // namespace mzb::cli
