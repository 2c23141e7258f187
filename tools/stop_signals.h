#pragma once

#include <csignal>
#include <cstddef>
#include <iterator>

namespace ombrix::tools {

// While alive, SIGINT, SIGTERM and SIGHUP no longer end the process: each is only noted, so
// that a run of many lookups can stop at the next turn of its loop with whole lines written
// and the domains not done kept. A wait in poll() or write() returns early when one comes,
// so the loop sees it within one of its turns.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first of the signals that came, or 0.
    static int received();
    // The exit status a shell gives a program that a signal ended: 128 + its number.
    static int exitStatus(int signal) { return 128 + signal; }
    // "SIGINT", "SIGTERM" or "SIGHUP".
    static const char* name(int signal);

  private:
    static constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(kWatched)] = {};
};

}  // namespace ombrix::tools
