// Any datagram, accepted or not, walked into the store: the walk must end, and whatever it
// reports must agree with what the store holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/reply.h"

namespace {

using namespace ombrix::lookup;

// The longest text 255 wire octets can give: four labels of 63, 63, 63 and 61 octets, every
// byte escaped as \DDD, and three dots between them.
constexpr std::size_t kMaxPresentationLength = 4 * 250 + 3;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isPlainText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void checkStore(const MxStore& store) {
    const auto& list = store.list();
    require(list.size() == std::max<std::size_t>(store.count(), 1));
    if (store.count() == 0) {
        require(list.front() == MxRecord{} && store.best().empty());
        return;
    }
    bool bestSeen = false;
    for (const auto& entry : list) {
        require(!entry.server.empty() && entry.server.size() <= kMaxPresentationLength);
        require(isPlainText(entry.server));
        bestSeen = bestSeen || entry.server == store.best();
    }
    require(bestSeen);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WireName qname{{7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0}};
    const std::span<const std::uint8_t> message(data, size);
    (void)isReplyTo(message, 4575, qname);

    MxStore store;
    const auto count = walkAnswers(message, qname, store);
    checkStore(store);
    if (!count) {
        const int number = count.error().number;
        require(number == kSubscriptOutOfRange || number == kQueryFailed);
        require(!count.error().description.empty());
        return 0;
    }
    require(count.value() == store.count());
    require(count.value() <= readHeader(message)->answers);
    const auto& list = store.list();
    require(std::is_sorted(list.begin(), list.end(),
                           [](const MxRecord& a, const MxRecord& b) { return a.pref < b.pref; }));
    if (count.value() > 0) {
        // The best is the first of the lowest preference, which a stable sort puts first.
        require(store.best() == list.front().server);
    }
    return 0;
}
