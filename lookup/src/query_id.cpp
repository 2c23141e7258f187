#include "query_id.h"

#include <pthread.h>
#include <sys/random.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <system_error>

namespace ombrix::lookup {
namespace {

// IDs come from the kernel a batch at a time: one system call serves many lookups, and a
// bulk run of a hundred thousand queries a second makes a few hundred calls, not one a query.
constexpr std::size_t kBatchIds = 256;

// Counts forks in this process's line; a child that finds its batch drawn before the fork
// throws it away, so that parent and child never send the same IDs.
std::atomic<unsigned> forks{0};

struct IdBatch {
    std::array<std::uint16_t, kBatchIds> ids{};
    std::size_t next = kBatchIds;  // the batch is used up
    unsigned drawnAfterFork = 0;   // the fork count when the batch was drawn
};

thread_local IdBatch batch;

void watchForks() {
    static const int watching =
        pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); });
    static_cast<void>(watching);
}

Expected<std::monostate, Fault> refill(IdBatch& ids) {
    auto* bytes = reinterpret_cast<unsigned char*>(ids.ids.data());
    std::size_t filled = 0;
    while (filled < sizeof ids.ids) {
        const ssize_t got = ::getrandom(bytes + filled, sizeof ids.ids - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            return Unexpected(
                Fault{Fault::Kind::sendFailed,
                      "Cannot draw a random query ID: " + std::generic_category().message(errno)});
        }
    }
    ids.next = 0;
    ids.drawnAfterFork = forks.load(std::memory_order_relaxed);
    return std::monostate{};
}

}  // namespace

Expected<std::uint16_t, Fault> randomQueryId() {
    watchForks();
    if (batch.next == kBatchIds || batch.drawnAfterFork != forks.load(std::memory_order_relaxed)) {
        if (auto drawn = refill(batch); !drawn) {
            return Unexpected(std::move(drawn.error()));
        }
    }
    return batch.ids.at(batch.next++);
}

}  // namespace ombrix::lookup
