#include "engine/adaptive_window.h"

#include <gtest/gtest.h>

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;

// Answers a window's worth of queries: one round trip.
void roundTrip(AdaptiveWindow& window, std::chrono::microseconds took = 200us) {
    const auto size = window.size();
    for (std::size_t i = 0; i < size; ++i) {
        window.onAnswer(took);
    }
}

TEST(AdaptiveWindow, DoublesEachRoundTripUntilTheFirstLossThenGrowsByAboutOne) {
    AdaptiveWindow window(1000, 4);
    roundTrip(window);
    EXPECT_EQ(window.size(), 8u);
    roundTrip(window);
    EXPECT_EQ(window.size(), 16u);

    window.onLoss(10, 40);
    EXPECT_EQ(window.size(), 8u);
    for (int i = 0; i < 4; ++i) {
        roundTrip(window);
    }
    EXPECT_EQ(window.size(), 11u);
}

TEST(AdaptiveWindow, ABurstOfLossesFromOneOverrunCutsOnce) {
    AdaptiveWindow window(1000, 64);
    window.onLoss(100, 200);
    EXPECT_EQ(window.size(), 32u);
    // Sent before the cut: the same overrun.
    window.onLoss(150, 210);
    window.onLoss(199, 220);
    EXPECT_EQ(window.size(), 32u);
    EXPECT_EQ(window.cuts(), 1u);
    // Sent after the cut: the smaller window overran too.
    window.onLoss(205, 230);
    EXPECT_EQ(window.size(), 16u);
}

TEST(AdaptiveWindow, StaysBetweenItsFloorAndCeiling) {
    AdaptiveWindow window(50, 10);
    for (int i = 0; i < 1000; ++i) {
        window.onAnswer(200us);
    }
    EXPECT_EQ(window.size(), 50u);
    for (std::uint64_t sent = 0; sent < 20; ++sent) {
        window.onLoss(sent * 10, sent * 10 + 1);
    }
    EXPECT_EQ(window.size(), AdaptiveWindow::kFloor);
    EXPECT_EQ(AdaptiveWindow(1, 64).size(), AdaptiveWindow::kFloor);
}

TEST(AdaptiveWindow, StopsGrowingWhileAnswersQueueAtTheServer) {
    AdaptiveWindow window(1000, 8);
    roundTrip(window);
    EXPECT_EQ(window.size(), 16u);
    // The smoothed delay needs a few answers to show the queue.
    for (int i = 0; i < 5; ++i) {
        roundTrip(window, 5ms);
    }
    const auto stalled = window.size();
    EXPECT_LE(stalled, 18u);
    // The queue drains: growth goes on, by one per round trip instead of doubling.
    for (int i = 0; i < 10; ++i) {
        roundTrip(window);
    }
    EXPECT_GT(window.size(), stalled);
    EXPECT_LE(window.size(), stalled + 10);
}

}  // namespace
}  // namespace ombrix::lookup
