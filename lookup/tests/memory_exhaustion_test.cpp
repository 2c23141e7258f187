// Memory that runs out at each allocation of a lookup in turn. This program's operator new
// (every form, so that each pairs with its delete) fails on request, on the test's thread
// only, so it has a binary of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "ombrix/lookup/mx_lookup.h"
#include "ombrix/lookup/query_message.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace {

// Allocations left before the next one fails; negative: no limit.
thread_local long allocationsLeft = -1;

}  // namespace

void* operator new(std::size_t size) {
    if (allocationsLeft == 0) {
        throw std::bad_alloc();
    }
    if (allocationsLeft > 0) {
        --allocationsLeft;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr int kExchangers = 20;

// A CNAME, then more exchangers than are sorted in place, in reverse order: the walk's last
// allocations (the sort's buffer, the canonical name) come after the outcome is known.
ScriptedDnsServer::Script longAliasedAnswer() {
    return [](const Bytes& query, Responder& out) {
        ReplyBuilder reply("example.com", idOf(query));
        reply.answer(pointerTo(ReplyBuilder::kQuestionOffset), kTypeCname,
                     name("alias.example.org"));
        for (int i = kExchangers; i > 0; --i) {
            reply.answer(name("alias.example.org"), kTypeMx,
                         mxData(static_cast<std::uint16_t>(i),
                                name("exchanger" + std::to_string(i) + ".example.org")));
        }
        out.send(reply.bytes());
    };
}

bool whole(const MxResult& result) {
    if (result.outcome != Outcome::exchangers || result.fault ||
        result.exchangers.size() != kExchangers ||
        result.canonicalName != std::optional<std::string>("alias.example.org")) {
        return false;
    }
    for (int i = 0; i < kExchangers; ++i) {
        if (result.exchangers[static_cast<std::size_t>(i)].name !=
            "exchanger" + std::to_string(i + 1) + ".example.org") {
            return false;
        }
    }
    return true;
}

// Each lookup either is whole, or says that memory ran out and holds no exchangers, or
// throws std::bad_alloc; never a success with a part missing. The next lookup on the same
// thread is whole again.
TEST(MemoryExhaustion, ALookupIsWholeOrSaysMemoryRanOutAndTheNextIsWhole) {
    ScriptedDnsServer server(longAliasedAnswer());
    const LookupOptions options{2000ms, 2};
    bool reachedWhole = false;
    for (long limit = 0; limit < 400 && !reachedWhole; ++limit) {
        SCOPED_TRACE("allocations allowed: " + std::to_string(limit));
        MxResult result;
        bool threw = false;
        allocationsLeft = limit;
        try {
            result = lookupMx(server.setting(), "example.com", options);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        allocationsLeft = -1;
        reachedWhole = !threw && whole(result);
        if (!threw && !reachedWhole) {
            ASSERT_TRUE(result.fault.has_value());
            EXPECT_NE(result.outcome, Outcome::exchangers);
            EXPECT_TRUE(result.exchangers.empty());
            EXPECT_FALSE(result.canonicalName.has_value());
        }
        EXPECT_TRUE(whole(lookupMx(server.setting(), "example.com", options)));
    }
    EXPECT_TRUE(reachedWhole);
}

}  // namespace
}  // namespace ombrix::lookup
