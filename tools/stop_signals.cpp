#include "tools/stop_signals.h"

namespace ombrix::tools {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

void noteStop(int signal) {
    if (stopSignal == 0) {
        stopSignal = signal;
    }
}

}  // namespace

StopSignals::StopSignals() {
    stopSignal = 0;
    struct sigaction action = {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a poll() in progress returns, so the loop sees the signal at once.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(kWatched); ++i) {
        ::sigaction(kWatched[i], &action, &previous_[i]);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kWatched); ++i) {
        ::sigaction(kWatched[i], &previous_[i], nullptr);
    }
}

int StopSignals::received() {
    return stopSignal;
}

const char* StopSignals::name(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "SIGHUP";
    }
}

}  // namespace ombrix::tools
