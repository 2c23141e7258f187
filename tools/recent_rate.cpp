#include "tools/recent_rate.h"

namespace ombrix::tools {

void RecentRate::add(Clock::time_point at, std::size_t count) {
    samples_.push_back({at, count});
    // One sample older than the span stays, so the span is always covered.
    while (samples_.size() > 2 && at - samples_[1].at >= kSpan) {
        samples_.pop_front();
    }
}

std::optional<double> RecentRate::perSecond() const {
    if (samples_.size() < 2) {
        return std::nullopt;
    }
    const auto& first = samples_.front();
    const auto& last = samples_.back();
    const double seconds = std::chrono::duration<double>(last.at - first.at).count();
    if (seconds <= 0 || last.count < first.count) {
        return std::nullopt;
    }
    return static_cast<double>(last.count - first.count) / seconds;
}

}  // namespace ombrix::tools
