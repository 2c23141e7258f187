#include "tools/progress_report.h"

#include <gtest/gtest.h>

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

std::string timeLeft(const std::string& statusLine) {
    const auto at = statusLine.rfind("  ");
    return statusLine.ends_with(" s left") ? statusLine.substr(at + 2) : "";
}

TEST(ProgressReport, TimeLeftFollowsTheRecentPaceNotTheAverage) {
    const auto start = ProgressReport::Clock::time_point{} + 1h;
    ProgressReport report(1000, start);
    BulkProgress progress;
    // A quick start: 800 domains in the first ten seconds.
    for (int second = 0; second <= 10; ++second) {
        progress.done = static_cast<std::size_t>(second) * 80;
        report.statusLine(progress, start + second * 1s);
    }
    // Then a slow tail, one domain in two seconds, as when the rest wait for time-outs.
    std::string line;
    for (int second = 12; second <= 60; second += 2) {
        ++progress.done;
        line = report.statusLine(progress, start + second * 1s);
    }
    EXPECT_EQ(timeLeft(line), "350 s left") << line;

    // Nearly done at a fast pace: still at least a second while anything is left.
    progress.done = 999;
    EXPECT_EQ(timeLeft(report.statusLine(progress, start + 60s + 1ms)), "1 s left");
}

}  // namespace
}  // namespace ombrix::tools
