#include "engine/adaptive_window.h"

#include <algorithm>

namespace ombrix::lookup {

AdaptiveWindow::AdaptiveWindow(std::size_t ceiling, std::size_t initial)
    : ceiling_(static_cast<double>(std::max(ceiling, kFloor))),
      window_(static_cast<double>(std::clamp(initial, kFloor, std::max(ceiling, kFloor)))),
      threshold_(ceiling_) {}

namespace {

// Delay the window tolerates above the fastest answer before it takes it for a queue: twice
// the fastest plus a millisecond, so that the jitter of a distant server is no queue.
constexpr double kQueueFactor = 2.0;
constexpr double kQueueMarginMicros = 1000.0;

}  // namespace

bool AdaptiveWindow::queueing() const {
    return smoothedMicros_ >
           kQueueFactor * static_cast<double>(fastest_.count()) + kQueueMarginMicros;
}

void AdaptiveWindow::onAnswer(std::chrono::microseconds roundTrip) {
    fastest_ = std::min(fastest_, roundTrip);
    const auto sample = static_cast<double>(roundTrip.count());
    smoothedMicros_ = smoothedMicros_ == 0 ? sample : (7 * smoothedMicros_ + sample) / 8;
    if (queueing()) {
        threshold_ = std::min(threshold_, window_);
        return;
    }
    const double growth = window_ < threshold_ ? 1.0 : 1.0 / window_;
    window_ = std::min(ceiling_, window_ + growth);
}

void AdaptiveWindow::onLoss(std::uint64_t sentAt, std::uint64_t sendsSoFar) {
    if (cuts_ > 0 && sentAt < recoveryFrom_) {
        return;
    }
    threshold_ = std::max(static_cast<double>(kFloor), window_ / 2);
    window_ = threshold_;
    recoveryFrom_ = sendsSoFar;
    ++cuts_;
}

}  // namespace ombrix::lookup
