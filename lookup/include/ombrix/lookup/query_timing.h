#pragma once

#include <algorithm>
#include <chrono>

namespace ombrix::lookup {

using Clock = std::chrono::steady_clock;

// How long one query may take: each try waits at most perTry for its reply.
struct QueryTiming {
    std::chrono::milliseconds perTry{2000};
    int tries = 3;
};

// The time one lookup may take as a whole, tries x perTry from its start. Resolving the
// server's name, the UDP tries and the TCP fallback all draw on it, so no mix of slow steps
// makes a lookup wait longer than the host was promised.
class QueryBudget {
  public:
    explicit QueryBudget(QueryTiming timing, Clock::time_point start = Clock::now())
        : timing_(timing), deadline_(start + timing.perTry * tries()) {}

    int tries() const { return timing_.tries < 1 ? 1 : timing_.tries; }
    std::chrono::milliseconds total() const { return timing_.perTry * tries(); }
    Clock::time_point deadline() const { return deadline_; }
    bool spent() const { return Clock::now() >= deadline_; }
    // When a try that starts now must end: perTry from now, never past the deadline.
    Clock::time_point tryDeadline() const {
        return std::min(Clock::now() + timing_.perTry, deadline_);
    }

  private:
    QueryTiming timing_;
    Clock::time_point deadline_;
};

}  // namespace ombrix::lookup
