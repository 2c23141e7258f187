#pragma once

#include <atomic>

namespace ombrix {

// Marks an object as being inside a call for as long as the guard lives. A guard made on the
// same flag meanwhile does not enter: the object refuses a call that would nest in a running
// one (a host timer while a query waits) or overlap it from another thread.
class ReentryGuard {
  public:
    explicit ReentryGuard(std::atomic<bool>& inCall)
        : inCall_(inCall), entered_(!inCall.exchange(true)) {}
    ~ReentryGuard() {
        if (entered_)
            inCall_ = false;
    }
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;

    bool entered() const { return entered_; }

  private:
    std::atomic<bool>& inCall_;
    bool entered_;
};

}  // namespace ombrix
