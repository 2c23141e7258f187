// The OPT record of a reply, read by both reply readers: what it says, and the rules it must
// keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/query_message.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;
using testing::ednsOption;
using testing::extendedError;
using testing::name;
using testing::pointerTo;
using testing::ReplyBuilder;
using testing::withResponseCode;

const WireName kExample{name("example.com")};

constexpr std::uint32_t kDnssecOk = 0x8000;
constexpr std::uint16_t kCookie = 10;
constexpr std::uint16_t kEdeDnssecBogus = 6;
constexpr std::uint16_t kEdeProhibited = 18;

// The extended rcode's eight bits sit at the top of the OPT's TTL, the version below them.
constexpr std::uint32_t optTtl(std::uint8_t extendedRcode, std::uint8_t version = 0,
                               std::uint32_t flags = 0) {
    return std::uint32_t{extendedRcode} << 24 | std::uint32_t{version} << 16 | flags;
}

Bytes withHeaderBits(Bytes reply, std::uint8_t lowFlags) {
    reply.at(3) |= lowFlags;
    return reply;
}

// The same reply read as the answer to an MX query and, with its question turned into A, to
// an address query: what one reader refuses, the other must refuse too.
struct BothReaders {
    MxResult mx;
    AddressResult address;
};

BothReaders readBoth(Bytes reply) {
    BothReaders both{readMxReply(reply, kExample), {}};
    const std::size_t typeLowByte = 12 + kExample.bytes.size() + 1;
    if (reply.size() > typeLowByte) {
        reply[typeLowByte] = static_cast<std::uint8_t>(kTypeA);
    }
    both.address = readAddressReply(reply, kExample, kTypeA);
    return both;
}

TEST(ReplyOpt, IsReadWithItsExtendedErrorsBesideTheAnswer) {
    ReplyBuilder reply("example.com");
    reply.mx(10, name("mx.example.com")).opt(1232, optTtl(0, 0, kDnssecOk), [] {
        Bytes options = extendedError(kEdeProhibited, "not for you");
        const Bytes cookie = ednsOption(kCookie, Bytes(8, 0xAA));
        const Bytes empty = extendedError(kEdeDnssecBogus);
        options.insert(options.end(), cookie.begin(), cookie.end());
        options.insert(options.end(), empty.begin(), empty.end());
        return options;
    }());
    const auto both = readBoth(withHeaderBits(reply.bytes(), 0x30));  // AD and CD

    EXPECT_EQ(both.mx.outcome, Outcome::exchangers);
    ASSERT_EQ(both.mx.exchangers.size(), 1u);
    const ReplySignals expected{
        true, true,
        ReplyEdns{1232, 0, 0, true, {{kEdeProhibited, "not for you"}, {kEdeDnssecBogus, ""}}}};
    EXPECT_EQ(both.mx.reply, expected);
    EXPECT_EQ(both.address.status, AddressStatus::noAddress);
    EXPECT_EQ(both.address.reply, expected);

    const auto plain = readBoth(ReplyBuilder("example.com").mx(10, name("mx")).bytes());
    EXPECT_EQ(plain.mx.reply, ReplySignals{});
    EXPECT_EQ(plain.address.reply, ReplySignals{});
}

TEST(ReplyOpt, ItsExtendedRcodeWidensTheHeadersAndFailureRepliesKeepTheirErrors) {
    // Version 1 refused: the header says NOERROR, the whole code is 16.
    ReplyBuilder badVersion("example.com");
    badVersion.opt(1232, optTtl(1));
    auto both = readBoth(badVersion.bytes());
    EXPECT_EQ(both.mx.outcome, Outcome::serverFailure);
    EXPECT_EQ(both.mx.fault->description, "DNS server answered BADVERS");
    EXPECT_EQ(both.mx.rcode, 0);
    ASSERT_TRUE(both.mx.reply.edns);
    EXPECT_EQ(both.mx.reply.edns->rcode, 16);
    EXPECT_EQ(both.address.status, AddressStatus::serverFailure);
    EXPECT_EQ(both.address.fault->description, "DNS server answered BADVERS");

    // NXDOMAIN widened is no longer NXDOMAIN.
    EXPECT_EQ(readBoth(withResponseCode(badVersion.bytes(), 3)).mx.fault->description,
              "DNS server answered response code 19");

    // A validating server's refusal says why.
    ReplyBuilder bogus("example.com");
    bogus.opt(1232, 0, extendedError(kEdeDnssecBogus, "signature expired"));
    both = readBoth(withResponseCode(bogus.bytes(), 2));
    EXPECT_EQ(both.mx.fault->description, "DNS server answered SERVFAIL");
    ASSERT_TRUE(both.mx.reply.edns);
    EXPECT_EQ(both.mx.reply.edns->rcode, 2);
    EXPECT_EQ(both.mx.reply.edns->errors,
              (std::vector<ExtendedError>{{kEdeDnssecBogus, "signature expired"}}));
    EXPECT_EQ(both.address.reply, both.mx.reply);
}

TEST(ReplyOpt, BreakingItsRulesMakesTheReplyMalformed) {
    const Bytes root = name("");
    const Bytes stray = ednsOption(kCookie, {1, 2});
    struct Case {
        Bytes reply;
        std::string words;
    };
    const std::vector<Case> cases = {
        {ReplyBuilder("example.com").answer(root, kTypeOpt, {}).bytes(),
         "the OPT record at offset 29 lies outside the additional section (answer 1 of 1)"},
        {ReplyBuilder("example.com").authority(root, kTypeOpt, {}).bytes(),
         "the OPT record at offset 29 lies outside the additional section "
         "(authority record 1 of 1)"},
        {ReplyBuilder("example.com").opt(1232).opt(512).bytes(),
         "the OPT record at offset 40 is the reply's second (additional record 2 of 2)"},
        {ReplyBuilder("example.com").opt(1232, 0, {}, name("example.com")).bytes(),
         "the OPT record at offset 29 is not owned by the root (additional record 1 of 1)"},
        {ReplyBuilder("example.com").opt(1232, 0, {}, pointerTo(12)).bytes(),
         "the OPT record at offset 29 is not owned by the root (additional record 1 of 1)"},
        {ReplyBuilder("example.com").opt(1232, 0, Bytes(stray.begin(), stray.end() - 1)).bytes(),
         "the EDNS option at offset 40 runs past the end of its OPT record "
         "(additional record 1 of 1)"},
        {ReplyBuilder("example.com").opt(1232, 0, {0, 15, 0}).bytes(),
         "the EDNS option at offset 40 runs past the end of its OPT record "
         "(additional record 1 of 1)"},
        {ReplyBuilder("example.com").opt(1232, 0, ednsOption(15, {6})).bytes(),
         "the Extended DNS Error at offset 40 is too short to hold an info-code "
         "(additional record 1 of 1)"},
    };
    for (const Case& kase : cases) {
        const auto both = readBoth(kase.reply);
        ASSERT_TRUE(both.mx.fault) << kase.words;
        EXPECT_EQ(both.mx.outcome, Outcome::malformed);
        EXPECT_EQ(both.mx.fault->description, "Malformed DNS reply: " + kase.words);
        EXPECT_FALSE(both.mx.reply.edns) << kase.words;
        ASSERT_TRUE(both.address.fault) << kase.words;
        EXPECT_EQ(both.address.status, AddressStatus::malformed);
        EXPECT_EQ(both.address.fault->description, both.mx.fault->description);
    }
    // A failure code stays what the reply is reported as, whatever else is wrong with it.
    const auto failed = readBoth(withResponseCode(cases.front().reply, 2));
    EXPECT_EQ(failed.mx.fault->description, "DNS server answered SERVFAIL");
    EXPECT_EQ(failed.address.fault->description, "DNS server answered SERVFAIL");
}

TEST(ReplyOpt, EveryTruncatedPrefixOfAReplyWithOptIsCutShort) {
    ReplyBuilder reply("example.com");
    reply.mx(10, name("mx", 12))
        .additional(pointerTo(43), kTypeA, {192, 0, 2, 1})
        .opt(1232, optTtl(0, 0, kDnssecOk), extendedError(kEdeProhibited, "no"));
    const Bytes full = reply.bytes();
    ASSERT_FALSE(readBoth(full).mx.fault);
    for (std::size_t length = 0; length < full.size(); ++length) {
        const auto both = readBoth(Bytes(full.begin(), full.begin() + static_cast<long>(length)));
        ASSERT_TRUE(both.mx.fault) << "prefix of " << length << " bytes";
        EXPECT_EQ(both.mx.fault->kind, Fault::Kind::cutShort) << both.mx.fault->description;
        ASSERT_TRUE(both.address.fault) << "prefix of " << length << " bytes";
        EXPECT_EQ(both.address.fault->kind, Fault::Kind::cutShort);
    }
}

}  // namespace
}  // namespace ombrix::lookup
