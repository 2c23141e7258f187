// The one test that reads the clock: a lookup ends by its deadline whatever mix of slow steps
// the server puts in its way. Labelled slow, and coarse enough for a loaded machine.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ombrix/lookup/mx_lookup.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::Responder;
using testing::ScriptedDnsServer;

TEST(LookupDeadline, SilentTriesThenTruncationThenSilentTcpEndWithTheBudget) {
    // Two UDP tries unanswered, the third truncated, and a TCP server that never answers:
    // every step waits as long as it may, and the whole still ends with tries x timeout.
    ScriptedDnsServer server(
        [asked = 0](const Bytes& query, Responder& out) mutable {
            if (++asked == 3) {
                out.send(testing::truncated(
                    testing::ReplyBuilder("example.com", testing::idOf(query)).bytes()));
            }
        },
        [](const Bytes&, Responder&) { std::this_thread::sleep_for(1500ms); });
    const LookupOptions options{1000ms, 3};
    const auto start = std::chrono::steady_clock::now();
    const auto result = lookupMx(server.setting(), "example.com", options);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, Outcome::noReply);
    // Without one deadline this took 5 s: two UDP waits, then three TCP ones.
    EXPECT_LT(took, options.timeout * options.tries + 1s);
}

}  // namespace
}  // namespace ombrix::lookup
