#include "tools/bulk/send_pacer.h"

#include <algorithm>

namespace ombrix::tools {

SendPacer::SendPacer(std::optional<double> perSecond, Clock::time_point now)
    : perSecond_(perSecond), filledAt_(now) {
    if (perSecond_) {
        capacity_ = std::max(1.0, *perSecond_ / 10);
        tokens_ = 1;
    }
}

void SendPacer::refill(Clock::time_point now) {
    const std::chrono::duration<double> elapsed = now - filledAt_;
    tokens_ = std::min(capacity_, tokens_ + elapsed.count() * *perSecond_);
    filledAt_ = now;
}

bool SendPacer::mayStart(Clock::time_point now) {
    if (!perSecond_) {
        return true;
    }
    refill(now);
    return tokens_ >= 1;
}

void SendPacer::spend() {
    if (perSecond_) {
        tokens_ -= 1;
    }
}

std::optional<SendPacer::Clock::time_point> SendPacer::nextAllowed() const {
    if (!perSecond_ || tokens_ >= 1) {
        return std::nullopt;
    }
    const std::chrono::duration<double> wait((1 - tokens_) / *perSecond_);
    return filledAt_ + std::chrono::ceil<Clock::duration>(wait);
}

}  // namespace ombrix::tools
