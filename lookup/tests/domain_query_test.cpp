#include <gtest/gtest.h>

#include <string>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/query_message.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;

Bytes wire(std::string_view domain) {
    auto encoded = encodeDomain(domain);
    EXPECT_TRUE(encoded.has_value()) << domain << ": " << encoded.error().description;
    return encoded ? encoded.value().bytes : Bytes{};
}

TEST(BuildMxQuery, ExampleComWithId4575IsTheKnownVector) {
    const Bytes expected{0x11, 0xDF, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x07, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65,
                         0x03, 0x63, 0x6F, 0x6D, 0x00, 0x00, 0x0F, 0x00, 0x01};
    EXPECT_EQ(buildMxQuery(4575, WireName{wire("example.com")}), expected);
}

TEST(EncodeDomain, AsciiGoesOutByteForByteInItsCase) {
    EXPECT_EQ(wire("Mail.Example.COM"), testing::name("Mail.Example.COM"));
    EXPECT_EQ(wire("localhost"), testing::name("localhost"));
    EXPECT_EQ(wire("t.co"), testing::name("t.co"));
}

TEST(EncodeDomain, OneTrailingDotIsTheRoot) {
    EXPECT_EQ(wire("example.com."), wire("example.com"));
}

TEST(EncodeDomain, LimitsAreInclusive) {
    const std::string label63(63, 'a');
    EXPECT_EQ(wire(label63 + ".com").size(), 1u + 63 + 1 + 3 + 1);
    // 63 + 1 + 63 + 1 + 63 + 1 + 61 = 253 characters.
    const std::string longest =
        label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    EXPECT_EQ(wire(longest).size(), 255u);
    EXPECT_EQ(wire(longest + ".").size(), 255u);
}

TEST(EncodeDomain, MalformedNamesFailWithError5) {
    const std::string label63(63, 'a');
    const std::string name254 =
        label63 + "." + label63 + "." + label63 + "." + std::string(62, 'b');
    for (const std::string& bad :
         {std::string(), std::string("."), std::string(".example.com"), std::string("a..b.com"),
          std::string("example.com.."), std::string(64, 'a') + ".com", name254,
          std::string("exa\0mple.com", 12)}) {
        const auto encoded = encodeDomain(bad);
        ASSERT_FALSE(encoded.has_value()) << bad;
        EXPECT_EQ(encoded.error().kind, Fault::Kind::invalidDomain) << bad;
        EXPECT_TRUE(encoded.error().description.starts_with("Invalid domain name: ")) << bad;
    }
    EXPECT_EQ(encodeDomain("a..b.com").error().description,
              "Invalid domain name: label 2 is empty");
    EXPECT_EQ(encodeDomain(std::string(64, 'a')).error().description,
              "Invalid domain name: label 1 is 64 octets long; at most 63 are allowed");
}

TEST(EncodeDomain, NonAsciiGoesThroughIdna2008WithUts46Mapping) {
    EXPECT_EQ(wire("bücher.example"), testing::name("xn--bcher-kva.example"));
    EXPECT_EQ(wire("Bücher.Example."), testing::name("xn--bcher-kva.example"));
    EXPECT_EQ(wire("faß.de"), testing::name("xn--fa-hia.de"));  // nontransitional: ß is kept
}

TEST(EncodeDomain, WhatIdnaRejectsFailsWithError5AndSaysWhy) {
    const auto symbol = encodeDomain("€.example");
    ASSERT_FALSE(symbol.has_value());
    EXPECT_EQ(symbol.error().kind, Fault::Kind::invalidDomain);
    EXPECT_NE(symbol.error().description.find("disallowed"), std::string::npos);
    // Checks after the mapping still hold: idna leaves empty labels alone.
    EXPECT_EQ(encodeDomain("ü..example").error().kind, Fault::Kind::invalidDomain);
    EXPECT_EQ(encodeDomain(std::string("ü\0x", 4)).error().kind, Fault::Kind::invalidDomain);
}

TEST(SameName, ComparesLabelsWithAsciiCaseFolded) {
    EXPECT_TRUE(sameName(WireName{wire("EXAMPLE.com")}, WireName{wire("example.COM")}));
    EXPECT_FALSE(sameName(WireName{wire("example.com")}, WireName{wire("example.co")}));
    EXPECT_FALSE(sameName(WireName{wire("ab.c")}, WireName{wire("a.bc")}));
    // Only ASCII letters fold: 0xC4 and 0xE4 are different bytes.
    EXPECT_FALSE(sameName(WireName{{1, 0xC4, 0}}, WireName{{1, 0xE4, 0}}));
}

}  // namespace
}  // namespace ombrix::lookup
