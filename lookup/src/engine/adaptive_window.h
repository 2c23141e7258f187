#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace ombrix::lookup {

// How many queries may be in flight, found the way TCP finds its congestion window: it
// doubles every round trip while answers come back (slow start), then grows by one per
// window's worth of answers, and halves on a loss. Losses of queries sent before the last
// cut belong to the same overrun and cut nothing more, so a burst of drops halves it once.
// A server's queue fills before it drops: while answers take clearly longer than the fastest
// one seen, the window stops growing, so that it rarely overruns the server at all.
class AdaptiveWindow {
  public:
    static constexpr std::size_t kFloor = 2;

    // The window starts at initial and never exceeds ceiling.
    AdaptiveWindow(std::size_t ceiling, std::size_t initial);

    std::size_t size() const { return static_cast<std::size_t>(window_); }
    std::size_t cuts() const { return cuts_; }

    // A reply came back after roundTrip.
    void onAnswer(std::chrono::microseconds roundTrip);
    // The query sent as number sentAt (counting every send) was lost; sendsSoFar counts every
    // send up to now.
    void onLoss(std::uint64_t sentAt, std::uint64_t sendsSoFar);

  private:
    // Whether the answers show a queue at the server.
    bool queueing() const;

    double ceiling_;
    double window_;
    double threshold_;
    std::uint64_t recoveryFrom_ = 0;
    std::size_t cuts_ = 0;
    std::chrono::microseconds fastest_ = std::chrono::microseconds::max();
    double smoothedMicros_ = 0;
};

}  // namespace ombrix::lookup
