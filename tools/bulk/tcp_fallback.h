#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ombrix/lookup/dns_exchange.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/server_address.h"
#include "ombrix/lookup/socket_handle.h"

namespace ombrix::tools {

// Asks truncated queries again on a few threads of their own through the library's exchange,
// which meets the truncation again and goes on over TCP (so the reply is checked as a single
// lookup checks it), while the event loop goes on; finished exchanges wait in a queue and wake
// the loop through an event descriptor.
class TcpFallback {
  public:
    struct Job {
        std::int32_t owner = 0;
        std::uint32_t generation = 0;
        lookup::PendingQuery query;
        std::chrono::milliseconds budget{0};
    };
    struct Finished {
        std::int32_t owner = 0;
        std::uint32_t generation = 0;
        lookup::ExchangeResult exchange;
    };

    TcpFallback(const lookup::ServerAddress& server, std::size_t threads);
    ~TcpFallback();
    TcpFallback(const TcpFallback&) = delete;
    TcpFallback& operator=(const TcpFallback&) = delete;

    // Readable while finished exchanges wait to be collected.
    int wakeFd() const { return wake_.fd(); }
    void submit(Job job);
    std::vector<Finished> collect();

  private:
    void work();
    Finished exchange(const Job& job) const;

    lookup::ServerAddress server_;
    lookup::SocketHandle wake_;
    std::mutex mutex_;
    std::condition_variable jobsWaiting_;
    std::deque<Job> jobs_;
    std::vector<Finished> finished_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace ombrix::tools
