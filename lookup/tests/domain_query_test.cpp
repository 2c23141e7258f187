#include <gtest/gtest.h>

#include <string>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/query_message.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;

Bytes wire(std::string_view domain) {
    auto encoded = encodeDomain(domain);
    EXPECT_TRUE(encoded.has_value()) << domain << ": " << encoded.error().description;
    return encoded ? encoded.value().bytes : Bytes{};
}

TEST(BuildMxQuery, ExampleComWithId4575IsTheKnownVectorWithOrWithoutOpt) {
    const Bytes plain{0x11, 0xDF, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0x00, 0x07, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65,
                      0x03, 0x63, 0x6F, 0x6D, 0x00, 0x00, 0x0F, 0x00, 0x01};
    const WireName example{wire("example.com")};
    EXPECT_EQ(buildMxQuery(4575, example, {.edns = false}), plain);

    Bytes withOpt = plain;
    withOpt[11] = 1;              // ARCOUNT
    const Bytes opt{0x00,         // owner: the root
                    0x00, 0x29,   // type OPT
                    0x04, 0xD0,   // class: 1232 octets of UDP payload
                    0x00,         // extended rcode
                    0x00,         // version
                    0x00, 0x00,   // flags: DO clear
                    0x00, 0x00};  // no options
    withOpt.insert(withOpt.end(), opt.begin(), opt.end());
    EXPECT_EQ(buildMxQuery(4575, example), withOpt);
}

TEST(BuildQuery, DnssecOkAndCheckingDisabledSetOnlyTheirOwnBits) {
    const WireName example{wire("example.com")};
    const Bytes base = buildQuery(4575, example, kTypeA);
    const std::size_t doByte = base.size() - 4;  // the OPT flags' high byte

    Bytes expected = base;
    expected[doByte] = 0x80;
    EXPECT_EQ(buildQuery(4575, example, kTypeA, {.dnssecOk = true}), expected);

    expected = base;
    expected[3] = 0x10;  // header flags, low byte: CD
    EXPECT_EQ(buildQuery(4575, example, kTypeA, {.checkingDisabled = true}), expected);

    // CD does not need the OPT record; the header stays a plain query's otherwise.
    const Bytes plainCd =
        buildQuery(4575, example, kTypeA, {.edns = false, .checkingDisabled = true});
    ASSERT_EQ(plainCd.size(), base.size() - 11);
    EXPECT_EQ(plainCd[3], 0x10);
    EXPECT_EQ(plainCd[11], 0);
}

// Scripted servers decide by what they read of a query, EDNS fallbacks included.
TEST(BuildQuery, ScriptedServersReadBackWhatWasAsked) {
    const WireName host{wire("Mx.Example.com")};
    const auto plain = testing::readQuery(buildQuery(7, host, kTypeAaaa, {.edns = false}));
    EXPECT_EQ(plain.id, 7);
    EXPECT_EQ(plain.name, "Mx.Example.com");
    EXPECT_EQ(plain.type, kTypeAaaa);
    EXPECT_FALSE(plain.edns || plain.dnssecOk || plain.checkingDisabled);

    const auto secure = testing::readQuery(
        buildQuery(65535, host, kTypeMx, {.dnssecOk = true, .checkingDisabled = true}));
    EXPECT_EQ(secure.id, 65535);
    EXPECT_EQ(secure.type, kTypeMx);
    EXPECT_TRUE(secure.edns && secure.dnssecOk && secure.checkingDisabled);
    EXPECT_FALSE(testing::readQuery(buildQuery(1, host, kTypeMx)).dnssecOk);
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
