#include "tools/bulk/server_pool.h"

#include <gtest/gtest.h>

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
using lookup::Outcome;

// Two servers that stop answering: set aside, probed after growing pauses, given up on for the
// domains once a domain's whole budget has passed, and taken back by the probe that answers.
TEST(ServerPool, SetsAsideProbesGivesUpAndTakesBack) {
    ServerPool pool({"192.0.2.1:53", "192.0.2.2:53"}, 1s, 3s);
    const auto start = ServerPool::Clock::now();
    const std::vector<bool> none(2, false);
    for (int i = 0; i < 20; ++i) {
        const auto server = pool.choose(none, start);
        ASSERT_TRUE(server);
        pool.finished(*server, Outcome::noReply, 0us, start);
    }
    // Both aside; within the budget a try still goes where the probe comes soonest.
    ASSERT_TRUE(pool.choose(none, start + 500ms));
    pool.finished(0, Outcome::noReply, 0us, start + 500ms);

    // Past the budget: one probe each, then nothing for the domains.
    const auto late = start + 4s;
    const auto first = pool.choose(none, late);
    const auto second = pool.choose(none, late);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_FALSE(pool.choose(none, late));

    // A failed probe doubles the pause; an answer takes the server back.
    pool.finished(*first, Outcome::serverFailure, 0us, late);
    EXPECT_FALSE(pool.choose(none, late + 1500ms));
    pool.finished(*second, Outcome::nxdomain, 2ms, late + 1500ms);
    EXPECT_EQ(pool.choose(none, late + 1500ms), second);
    // Once every server was tried, the try goes to one in use: the other waits four seconds
    // for its next probe now.
    EXPECT_EQ(pool.choose({true, true}, late + 2s), second);

    const auto summary = pool.summary(late + 2s);
    EXPECT_NE(summary.find("server 192.0.2.2:53: 13 queries, 1 answers, 10 time-outs, 0 failures, "
                           "median round trip 2.0 ms, set aside 1 time for 5.5 s\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("set aside 1 time for 6.0 s (still)"), std::string::npos) << summary;
}

}  // namespace
}  // namespace ombrix::tools
