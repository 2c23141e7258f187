#include "lookup/src/address_text.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace ombrix::lookup {
namespace {

std::string systemText(const std::array<std::uint8_t, kIpv6Octets>& address) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    inet_ntop(AF_INET6, address.data(), text.data(), static_cast<socklen_t>(text.size()));
    return text.data();
}

// Every pattern of zero and non-zero groups, each group one of four values (zero, one digit,
// a full group, the mapped marker), against the C library's formatter that callers saw
// before: runs of zeros in every place and length, ties between runs, and the dotted tails.
TEST(AddressText, Ipv6MatchesTheSystemFormatterForEveryZeroPattern) {
    constexpr std::array<std::uint16_t, 4> kValues{0, 0x1, 0xFFFF, 0xABC};
    std::size_t differences = 0;
    for (unsigned pattern = 0; pattern < (1U << 16); ++pattern) {
        std::array<std::uint8_t, kIpv6Octets> address{};
        for (unsigned group = 0; group < 8; ++group) {
            const auto value = kValues[(pattern >> (2 * group)) & 3];
            address[2 * group] = static_cast<std::uint8_t>(value >> 8);
            address[2 * group + 1] = static_cast<std::uint8_t>(value & 0xFF);
        }
        const auto expected = systemText(address);
        if (ipv6Text(address) != expected && ++differences <= 5) {
            ADD_FAILURE() << "expected " << expected << ", got " << ipv6Text(address);
        }
    }
    EXPECT_EQ(differences, 0U);
}

TEST(AddressText, Ipv6DottedTailsAndLeadingZeros) {
    std::array<std::uint8_t, kIpv6Octets> mapped{};
    mapped[10] = mapped[11] = 0xFF;
    mapped[12] = 192;
    mapped[15] = 7;
    EXPECT_EQ(ipv6Text(mapped), "::ffff:192.0.0.7");
    std::array<std::uint8_t, kIpv6Octets> padded{0x20, 0x01, 0x0d, 0xb8, 0x00, 0x10};
    padded[15] = 0x0a;
    EXPECT_EQ(ipv6Text(padded), systemText(padded));
    EXPECT_EQ(ipv6Text(padded), "2001:db8:10::a");
}

}  // namespace
}  // namespace ombrix::lookup
