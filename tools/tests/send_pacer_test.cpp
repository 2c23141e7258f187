#include "tools/bulk/send_pacer.h"

#include <gtest/gtest.h>

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

TEST(SendPacer, KeepsSendsUnderTheRate) {
    const auto start = SendPacer::Clock::time_point{} + 1h;
    SendPacer pacer(100.0, start);
    std::size_t sent = 0;
    for (auto now = start; now < start + 1s; now += 1ms) {
        while (pacer.mayStart(now)) {
            pacer.spend();
            ++sent;
        }
    }
    EXPECT_GE(sent, 99u);
    EXPECT_LE(sent, 101u);
    ASSERT_TRUE(pacer.nextAllowed().has_value());

    SendPacer unlimited(std::nullopt, start);
    EXPECT_TRUE(unlimited.mayStart(start));
    EXPECT_FALSE(unlimited.nextAllowed().has_value());
}

}  // namespace
}  // namespace ombrix::tools
