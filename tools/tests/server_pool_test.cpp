#include "tools/bulk/server_pool.h"

#include <gtest/gtest.h>

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
using lookup::Outcome;

// Two servers that stop answering: set aside, probed after growing pauses, given up on for the
// domains once a domain's whole budget has passed, and taken back by the probe that answers.
TEST(ServerPool, SetsAsideProbesGivesUpAndTakesBack) {
    const auto start = ServerPool::Clock::now();
    ServerPool pool({{"192.0.2.1:53", {}}, {"192.0.2.2:53", {}}}, 1s, 3s, 10000, start);
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

// Each server's window decides where first tries go: a server that drops a burst of tries
// halves its window once for the burst, not once per try, and the one that answers takes the
// next tries; a retry still goes where the windows are full.
TEST(ServerPool, FirstTriesGoWhereTheWindowHasRoom) {
    const auto start = ServerPool::Clock::now();
    ServerPool pool({{"192.0.2.1:53", {}}, {"192.0.2.2:53", {}}}, 1s, 3s, 100, start);
    const std::vector<bool> none(2, false);
    std::vector<int> given(2);
    while (pool.hasRoom(start) && given[0] + given[1] < 1000) {
        ++given[pool.choose(none, start).value()];
    }
    EXPECT_EQ(given, (std::vector<int>{64, 64}));

    const auto later = start + 1s;
    for (int i = 0; i < 5; ++i) {
        pool.finished(1, Outcome::noReply, 0us, later, start);
        pool.finished(0, Outcome::exchangers, 100us, later, start);
    }
    EXPECT_EQ(pool.window(1), 32u);
    EXPECT_EQ(pool.window(0), 69u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pool.choose(none, later), 0u);
    }
    EXPECT_FALSE(pool.hasRoom(later));
    EXPECT_EQ(pool.choose({true, false}, later, true), 1u);
    // A failure code, quick and mostly about one domain, cuts nothing; a try sent after the
    // cut that goes unanswered cuts again.
    pool.finished(1, Outcome::serverFailure, 0us, later + 1s, later);
    EXPECT_EQ(pool.window(1), 32u);
    pool.finished(1, Outcome::noReply, 0us, later + 1s, later);
    EXPECT_EQ(pool.window(1), 16u);

    // A window grown by answers takes a larger share, not every try.
    ServerPool grown({{"192.0.2.1:53", {}}, {"192.0.2.2:53", {}}}, 1s, 3s, 1000, start);
    for (int i = 0; i < 100; ++i) {
        grown.finished(grown.choose({false, true}, start).value(), Outcome::exchangers, 100us,
                       start, start);
    }
    given = {0, 0};
    for (int i = 0; i < 20; ++i) {
        ++given[grown.choose(none, start).value()];
    }
    EXPECT_GT(given[1], 3);
    EXPECT_GT(given[0], given[1]);
}

// A failure code may be the domain's own: it counts against a server only when blamed, once
// another server answered that domain. No reply counts at once (the test above).
TEST(ServerPool, FailureCodesCountOnlyOnceBlamed) {
    const auto start = ServerPool::Clock::now();
    const std::vector<bool> firstUntried{false, true};
    ServerPool pool({{"192.0.2.1:53", {}}, {"192.0.2.2:53", {}}}, 1s, 3s, 100, start);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(pool.choose(firstUntried, start), 0u);
        EXPECT_TRUE(pool.finished(0, Outcome::serverFailure, 0us, start, start));
    }
    EXPECT_EQ(pool.choose(firstUntried, start), 0u);
    EXPECT_FALSE(pool.finished(0, Outcome::exchangers, 100us, start, start));
    for (int i = 0; i < 9; ++i) {
        pool.blame(0, start);
    }
    EXPECT_EQ(pool.choose(firstUntried, start), 1u);
}

// A server's own rate holds its first tries back and says when the next may go; a retry
// goes at once all the same.
TEST(ServerPool, AServersRateHoldsItsFirstTriesBack) {
    const auto start = ServerPool::Clock::now();
    ServerPool pool({{"192.0.2.1:53", 10.0}}, 1s, 3s, 100, start);
    ASSERT_EQ(pool.choose({false}, start), 0u);
    EXPECT_FALSE(pool.hasRoom(start));
    const auto next = pool.nextAllowed(start);
    ASSERT_TRUE(next);
    EXPECT_NEAR(std::chrono::duration<double>(*next - start).count(), 0.1, 0.001);
    EXPECT_EQ(pool.choose({true}, start, true), 0u);
    EXPECT_FALSE(pool.hasRoom(start + 150ms));
    EXPECT_TRUE(pool.hasRoom(start + 200ms));
}

}  // namespace
}  // namespace ombrix::tools
