#include "tools/bulk/address_cache.h"

#include <gtest/gtest.h>

#include "ombrix/lookup/query_message.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
using lookup::AddressStatus;
using lookup::kTypeA;
using lookup::kTypeAaaa;

lookup::AddressResult answer(AddressStatus status, std::uint32_t ttl,
                             std::vector<std::string> addresses = {}) {
    lookup::AddressResult result;
    result.status = status;
    result.ttl = ttl;
    result.addresses = std::move(addresses);
    return result;
}

TEST(AddressCache, AsksOnceJoinsTheFlightAndKeepsTheAnswerForItsTtl) {
    AddressCache cache(100);
    const auto start = AddressCache::Clock::now();
    EXPECT_EQ(cache.find("MX.example", kTypeA, start), nullptr);
    EXPECT_FALSE(cache.join("MX.example", kTypeA, {1, 0}));
    EXPECT_TRUE(cache.join("mx.EXAMPLE", kTypeA, {2, 3}));
    // Another type is another question.
    EXPECT_FALSE(cache.join("mx.example", kTypeAaaa, {1, 0}));

    const auto waiters =
        cache.settle("mx.example", kTypeA, answer(AddressStatus::found, 60, {"192.0.2.1"}), start);
    ASSERT_EQ(waiters.size(), 2u);
    EXPECT_EQ(waiters[1].slot, 2u);
    EXPECT_EQ(waiters[1].exchanger, 3u);
    const auto* kept = cache.find("mx.example", kTypeA, start + 59s);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->addresses, std::vector<std::string>{"192.0.2.1"});
    EXPECT_EQ(cache.saved(), 2u);

    // Past its TTL the answer is asked again, and the new one replaces it.
    EXPECT_EQ(cache.find("mx.example", kTypeA, start + 60s), nullptr);
    EXPECT_FALSE(cache.join("mx.example", kTypeA, {4, 0}));
    cache.settle("mx.example", kTypeA, answer(AddressStatus::nxdomain, 30), start + 60s);
    ASSERT_NE(cache.find("mx.example", kTypeA, start + 61s), nullptr);
    EXPECT_EQ(cache.find("mx.example", kTypeA, start + 61s)->status, AddressStatus::nxdomain);
    EXPECT_EQ(cache.kept(), 1u);
}

TEST(AddressCache, KeepsNoFailureAndStaysWithinItsCapacity) {
    AddressCache cache(8);
    const auto now = AddressCache::Clock::now();
    for (const auto status :
         {AddressStatus::noReply, AddressStatus::serverFailure, AddressStatus::malformed}) {
        cache.join("down.example", kTypeA, {0, 0});
        EXPECT_EQ(cache.settle("down.example", kTypeA, answer(status, 300), now).size(), 1u);
        EXPECT_EQ(cache.find("down.example", kTypeA, now), nullptr);
    }
    // Nothing says how long it may be kept: not kept.
    cache.join("quiet.example", kTypeA, {0, 0});
    cache.settle("quiet.example", kTypeA, answer(AddressStatus::noAddress, 0), now);
    EXPECT_EQ(cache.find("quiet.example", kTypeA, now), nullptr);

    for (std::uint32_t i = 0; i < 100; ++i) {
        const auto name = "mx" + std::to_string(i) + ".example";
        cache.join(name, kTypeA, {0, 0});
        cache.settle(name, kTypeA, answer(AddressStatus::found, 100 + i, {"192.0.2.1"}), now);
        EXPECT_LE(cache.kept(), 8u);
    }
    // The latest answer is kept; room was made from those that expire soonest.
    EXPECT_NE(cache.find("mx99.example", kTypeA, now), nullptr);
}

}  // namespace
}  // namespace ombrix::tools
