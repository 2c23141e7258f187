#include "tools/bulk/tcp_fallback.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ombrix::tools {

TcpFallback::TcpFallback(const lookup::ServerAddress& server, std::size_t threads)
    : server_(server), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!wake_.valid()) {
        throw std::system_error(errno, std::generic_category(), "cannot open an event descriptor");
    }
    for (std::size_t i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

TcpFallback::~TcpFallback() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    jobsWaiting_.notify_all();
    for (auto& thread : threads_) {
        thread.join();
    }
}

void TcpFallback::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    jobsWaiting_.notify_one();
}

std::vector<TcpFallback::Finished> TcpFallback::collect() {
    std::uint64_t count = 0;
    while (::read(wake_.fd(), &count, sizeof count) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
}

TcpFallback::Finished TcpFallback::exchange(const Job& job) const {
    const lookup::QueryBudget budget(lookup::QueryTiming{job.budget, 1});
    return {job.owner, job.generation, lookup::exchangeQuery(server_, job.query, budget)};
}

void TcpFallback::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            jobsWaiting_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        auto finished = exchange(job);
        {
            std::lock_guard lock(mutex_);
            finished_.push_back(std::move(finished));
        }
        const std::uint64_t one = 1;
        while (::write(wake_.fd(), &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

}  // namespace ombrix::tools
