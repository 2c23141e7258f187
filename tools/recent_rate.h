#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

namespace ombrix::tools {

// How fast a count grew lately: over the samples of the last kSpan, so that an estimate of
// the time left follows the run as it is now (a tail of domains waiting for time-outs goes
// slower than the start did), not its average since the start.
class RecentRate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kSpan = std::chrono::seconds(10);

    void add(Clock::time_point at, std::size_t count);
    // Per second over the recent samples; nothing until they span some time.
    std::optional<double> perSecond() const;

  private:
    struct Sample {
        Clock::time_point at;
        std::size_t count = 0;
    };
    std::deque<Sample> samples_;
};

}  // namespace ombrix::tools
