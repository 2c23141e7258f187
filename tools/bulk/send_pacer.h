#pragma once

#include <chrono>
#include <optional>

namespace ombrix::tools {

// Keeps sends under a rate: a bucket that fills at the rate and holds a tenth of a second's
// worth of sends, so that bursts stay short. Without a rate every send may go.
class SendPacer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SendPacer(std::optional<double> perSecond, Clock::time_point now = Clock::now());

    // Whether a new query may go now.
    bool mayStart(Clock::time_point now);
    // Takes one send from the bucket; a retry takes its share even when the bucket is empty,
    // since it must go within its domain's budget.
    void spend();
    // When the next send may go; nothing when one may go now or sends are not limited.
    std::optional<Clock::time_point> nextAllowed() const;

  private:
    void refill(Clock::time_point now);

    std::optional<double> perSecond_;
    double capacity_ = 0;
    double tokens_ = 0;
    Clock::time_point filledAt_;
};

}  // namespace ombrix::tools
