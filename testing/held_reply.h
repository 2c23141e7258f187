#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "testing/scripted_dns_server.h"

namespace ombrix::testing {

// Keeps a scripted server's reply back until the test lets it go, so that a query waits
// exactly as long as the test needs. A test that never lets go does not hang: after a few
// seconds the query is dropped unanswered and fails.
class HeldReply {
  public:
    using Script = testing::ScriptedDnsServer::Script;

    void release() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    // `answer` runs once the reply is released; before that the query waits unanswered.
    Script holding(Script answer) {
        return [this, answer = std::move(answer)](const std::vector<std::uint8_t>& query,
                                                  testing::Responder& out) {
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, std::chrono::seconds(4), [this] { return released_; }))
                answer(query, out);
        };
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
};

}  // namespace ombrix::testing
