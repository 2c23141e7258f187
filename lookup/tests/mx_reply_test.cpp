#include "ombrix/lookup/mx_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ombrix/lookup/query_message.h"
#include "reply.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;
using testing::mxData;
using testing::name;
using testing::pointerTo;
using testing::ReplyBuilder;

const WireName kExample{name("example.com")};

struct Listed {
    std::uint16_t preference;
    std::string name;
    friend bool operator==(const Listed&, const Listed&) = default;
};

std::vector<Listed> listed(const MxResult& result) {
    std::vector<Listed> out;
    for (const Exchanger& exchanger : result.exchangers) {
        out.push_back({exchanger.preference, exchanger.name});
    }
    return out;
}

MxResult read(const Bytes& reply) {
    MxResult result = readMxReply(reply, kExample);
    EXPECT_FALSE(result.fault) << result.fault->description;
    EXPECT_EQ(result.query, "example.com");
    return result;
}

void expectFault(const Bytes& reply, Fault::Kind kind, const std::string& words) {
    const MxResult result = readMxReply(reply, kExample);
    ASSERT_TRUE(result.fault);
    EXPECT_EQ(result.outcome, Outcome::malformed);
    EXPECT_EQ(result.fault->kind, kind) << result.fault->description;
    EXPECT_NE(result.fault->description.find(words), std::string::npos)
        << result.fault->description;
    EXPECT_TRUE(result.exchangers.empty());
}

TEST(ReadMxReply, ListsCompressedAndFullExchangesInPreferenceOrderWithTheirTtl) {
    ReplyBuilder reply("example.com");
    const auto firstExchange = static_cast<std::uint16_t>(reply.offset() + 2 + 10 + 2);
    // An authoritative server writes an out-of-zone exchange in full and points the next
    // exchange's suffix into it.
    reply.mx(20, name("mx1.mail.example.net"))
        .mx(10, name("mx2", firstExchange + 4))
        .mx(10, name("mx3", ReplyBuilder::kQuestionOffset))
        .mx(65535, name("last.example"));
    const MxResult result = read(reply.bytes());
    EXPECT_EQ(result.outcome, Outcome::exchangers);
    EXPECT_EQ(result.rcode, 0);
    EXPECT_EQ(listed(result), (std::vector<Listed>{{10, "mx2.mail.example.net"},
                                                   {10, "mx3.example.com"},
                                                   {20, "mx1.mail.example.net"},
                                                   {65535, "last.example"}}));
    EXPECT_EQ(result.exchangers.front().ttl, 3600u);
    EXPECT_FALSE(result.canonicalName);
}

// A short list and a long one are sorted in different ways; both keep the reply's order
// among equal preferences.
TEST(ReadMxReply, KeepsReplyOrderAmongEqualPreferencesInShortAndLongLists) {
    for (const std::size_t count : {std::size_t{7}, std::size_t{40}}) {
        ReplyBuilder reply("example.com");
        std::vector<Listed> expected;
        for (std::size_t i = 0; i < count; ++i) {
            const auto preference = static_cast<std::uint16_t>(30 - (i % 3) * 10);
            const std::string exchange = "mx" + std::to_string(i) + ".example.com";
            reply.mx(preference, name(exchange));
            expected.push_back({preference, exchange});
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const Listed& a, const Listed& b) { return a.preference < b.preference; });
        EXPECT_EQ(listed(read(reply.bytes())), expected) << count << " exchangers";
    }
}

TEST(ReadMxReply, FollowsTheCnameChainAndTakesAddressesOfExchangersOnly) {
    ReplyBuilder reply("example.com");
    reply.answer(pointerTo(12), kTypeA, {192, 0, 2, 1})
        .answer(pointerTo(12), kTypeCname, name("alias.example.org"))
        .answer(name("alias.example.org"), kTypeCname, name("Mail.Example.NET"))
        .answer(name("mail.example.net"), kTypeMx, mxData(5, name("mx.example.net")))
        .answer(name("other.example.net"), kTypeMx, mxData(1, name("wrong.example.net")))
        .answer(pointerTo(12), kTypeMx, mxData(1, name("stale.example.com")))
        .answer(name("mail.example.net"), kTypeMx, mxData(7, name("chaos.example.net")), 3)
        .authority(name("example.net"), 2, name("ns.example.net"))
        .additional(name("MX.example.net"), kTypeA, {192, 0, 2, 25})
        .additional(name("mx.example.net"), kTypeAaaa,
                    {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x19})
        .additional(name("mx.example.net"), kTypeA, {192, 0, 2})  // not an address
        .additional(name("ns.example.net"), kTypeA, {192, 0, 2, 53});
    const MxResult result = read(reply.bytes());
    EXPECT_EQ(listed(result), (std::vector<Listed>{{5, "mx.example.net"}}));
    EXPECT_EQ(result.canonicalName, "Mail.Example.NET");
    EXPECT_EQ(result.exchangers.front().ipv4, std::vector<std::string>{"192.0.2.25"});
    EXPECT_EQ(result.exchangers.front().ipv6, std::vector<std::string>{"2001:db8::19"});
}

TEST(ReadMxReply, AnOwnerWrittenAsAPointerIsTheNameItPointsAt) {
    ReplyBuilder reply("example.com");
    // Where the exchange of the next MX record starts: owner pointer, fields, preference.
    auto nextExchange = [&] { return static_cast<std::uint16_t>(reply.offset() + 2 + 10 + 2); };
    const std::uint16_t mx1 = nextExchange();
    reply.mx(10, name("mx1.example.com"));
    const std::uint16_t mx1Again = nextExchange();
    reply.mx(20, name("MX1", ReplyBuilder::kQuestionOffset));
    reply.additional(pointerTo(mx1), kTypeA, {192, 0, 2, 1})
        .additional(pointerTo(mx1Again), kTypeA, {192, 0, 2, 2})
        // The zone's name inside the first exchange is no exchanger's name.
        .additional(pointerTo(static_cast<std::uint16_t>(mx1 + 4)), kTypeA, {192, 0, 2, 3});
    const MxResult result = read(reply.bytes());
    ASSERT_EQ(listed(result), (std::vector<Listed>{{10, "mx1.example.com"}, {20, "MX1.example.com"}}));
    // Both exchangers are one host: each takes every address given for it.
    const std::vector<std::string> both{"192.0.2.1", "192.0.2.2"};
    EXPECT_EQ(result.exchangers[0].ipv4, both);
    EXPECT_EQ(result.exchangers[1].ipv4, both);

    // Owners that point at a question for another name are not the asked name.
    const MxResult other = readMxReply(reply.bytes(), WireName{name("example.org")});
    EXPECT_EQ(other.outcome, Outcome::noMx);
}

TEST(ReadMxReply, TellsTheNullMxMixedNullMxNoMxAndNxdomainApart) {
    EXPECT_EQ(read(ReplyBuilder("example.com").mx(0, name("")).bytes()).outcome, Outcome::nullMx);
    const MxResult mixed =
        read(ReplyBuilder("example.com").mx(10, name("mx.example")).mx(0, name("")).bytes());
    EXPECT_EQ(mixed.outcome, Outcome::nullMxMixed);
    EXPECT_EQ(listed(mixed), (std::vector<Listed>{{10, "mx.example"}}));

    // A blank exchange names no host and is stepped over.
    const MxResult blank = read(ReplyBuilder("example.com").mx(10, name("   ")).bytes());
    EXPECT_EQ(blank.outcome, Outcome::noMx);
    EXPECT_TRUE(blank.exchangers.empty());

    Bytes nxdomain = ReplyBuilder("example.com").bytes();
    nxdomain.at(3) = 0x83;
    EXPECT_EQ(read(nxdomain).outcome, Outcome::nxdomain);
    EXPECT_EQ(read(nxdomain).rcode, 3);
}

TEST(ReadMxReply, FailureCodesAreServerFailuresNamingTheCode) {
    for (const auto& [rcode, named] : std::vector<std::pair<std::uint8_t, std::string>>{
             {1, "FORMERR"}, {2, "SERVFAIL"}, {5, "REFUSED"}, {12, "response code 12"}}) {
        Bytes reply = ReplyBuilder("example.com").mx(10, name("mx.example")).bytes();
        reply.at(3) = static_cast<std::uint8_t>(0x80 | rcode);
        const MxResult result = readMxReply(reply, kExample);
        EXPECT_EQ(result.outcome, Outcome::serverFailure);
        EXPECT_TRUE(result.temporary());
        EXPECT_EQ(result.rcode, rcode);
        EXPECT_EQ(result.fault,
                  (Fault{Fault::Kind::serverFailure, "DNS server answered " + named}));
        EXPECT_TRUE(result.exchangers.empty());
    }
}

TEST(ReadMxReply, ExchangesArriveInPresentationForm) {
    const Bytes odd{4, 'a', '.', 0x07, '\\', 0};
    EXPECT_EQ(listed(read(ReplyBuilder("example.com").mx(1, odd).bytes())),
              (std::vector<Listed>{{1, "a\\.\\007\\\\"}}));
}

// Hand-written faults. The reply is example.com's question (offsets 12..28) and answers.
const Bytes kHead{0x11, 0xDF, 0x81, 0x80,  // ID 4575, response, recursion desired and available
                  0,    1,                 // one question
                  0,    2,                 // two answers
                  0,    0,    0,    0,     // no authority or additional records
                  7,    'e',  'x',  'a',  'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0,  // 12: qname
                  0,    15,   0,    1};                                             // 25: MX IN
const Bytes kGoodAnswer{0xC0, 12,            // 29: owner, the question's name
                        0,    15,  0,   1,   // MX IN
                        0,    0,   0,   60,  // TTL 60
                        0,    6,             // six bytes of data
                        0,    10,            // 41: preference 10
                        2,    'm', 'x', 0};  // 43: exchange "mx"

Bytes reply(const Bytes& secondAnswer) {
    Bytes out = kHead;
    out.insert(out.end(), kGoodAnswer.begin(), kGoodAnswer.end());
    out.insert(out.end(), secondAnswer.begin(), secondAnswer.end());
    return out;
}

TEST(ReadMxReply, MalformedAnswersFailWithADescriptionAndListNothing) {
    // The exchange's label reaches past RDLENGTH 5.
    const Bytes overrun{0xC0, 12,  0,   15,  0, 1, 0, 0, 0, 60, 0, 5,  // five bytes of data
                        0,    20,                                      // preference 20
                        3,    'm', 'x', '2', 0};                       // 61: a name of five bytes
    const MxResult result = readMxReply(reply(overrun), kExample);
    EXPECT_EQ(result.fault,
              (Fault{Fault::Kind::malformed,
                     "Malformed DNS reply: the name at offset 61 runs past the end of its record "
                     "data (answer 2 of 2)"}));
    EXPECT_TRUE(result.exchangers.empty());
    EXPECT_TRUE(result.temporary());

    // Three bytes left in the MX data after the exchange, a pointer to "mx".
    expectFault(
        reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 7, 0, 20, 0xC0, 43, 0xAA, 0xBB, 0xCC}),
        Fault::Kind::malformed, "has 3 bytes after its name");
    // One byte of MX data: no room for a preference.
    expectFault(reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 1, 0}), Fault::Kind::malformed,
                "too short to hold a preference");
    // The owner name points forwards, to offset 60.
    expectFault(reply({0xC0, 60, 0, 15, 0, 1, 0, 0, 0, 60, 0, 2, 0, 1}), Fault::Kind::malformed,
                "compression pointer at offset 47 does not point backwards");
    // The exchange starts with label type 0x80.
    expectFault(reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 4, 0, 1, 0x80, 0}),
                Fault::Kind::malformed, "unknown label type 0x80");
    // A CNAME whose data starts with label type 0x40 instead of a name.
    expectFault(reply({0xC0, 12, 0, 5, 0, 1, 0, 0, 0, 60, 0, 2, 0x40, 0}), Fault::Kind::malformed,
                "label type 0x40");
}

TEST(ReadMxReply, AReplyEndingBeforeItsCountsSayIsCutShort) {
    Bytes oneAnswer = kHead;
    oneAnswer.insert(oneAnswer.end(), kGoodAnswer.begin(), kGoodAnswer.end());
    expectFault(oneAnswer, Fault::Kind::cutShort,
                "the reply ends inside the name at offset 47 (answer 2 of 2)");
    oneAnswer[6] = 0x80;  // 32768 answers: must not read as negative
    oneAnswer[7] = 0x00;
    expectFault(oneAnswer, Fault::Kind::cutShort, "(answer 2 of 32768)");
    oneAnswer[6] = 0;
    oneAnswer[7] = 1;
    oneAnswer[11] = 1;  // one additional record promised, none present
    expectFault(oneAnswer, Fault::Kind::cutShort, "(additional record 1 of 1)");
    oneAnswer[11] = 0;
    oneAnswer.pop_back();  // record data cut short of its RDLENGTH
    expectFault(oneAnswer, Fault::Kind::cutShort,
                "ends inside the data of the record at offset 29");
    expectFault(Bytes(kHead.begin(), kHead.begin() + 11), Fault::Kind::cutShort,
                "the reply ends inside its 12-byte header");
}

TEST(ReadMxReply, EveryTruncatedPrefixOfAValidReplyIsCutShort) {
    ReplyBuilder nsdLike("example.com");
    const auto firstExchange = static_cast<std::uint16_t>(nsdLike.offset() + 14);
    nsdLike.mx(10, name("mx1.mail.example.net"))
        .mx(20, name("mx2", firstExchange + 4))
        .authority(pointerTo(12), 2, name("ns1", 12))
        .additional(name("ns1", 12), kTypeA, {192, 0, 2, 53});
    ReplyBuilder cnamed("example.com");
    cnamed.answer(pointerTo(12), kTypeCname, name("mail", 12))
        .answer(name("mail", 12), kTypeMx, mxData(1, name("mx", 12)));
    for (const Bytes& full : {nsdLike.bytes(), cnamed.bytes(), reply(kGoodAnswer)}) {
        ASSERT_FALSE(readMxReply(full, kExample).fault);
        for (std::size_t length = 0; length < full.size(); ++length) {
            const Bytes prefix(full.begin(), full.begin() + static_cast<long>(length));
            const MxResult result = readMxReply(prefix, kExample);
            ASSERT_TRUE(result.fault) << "prefix of " << length << " bytes";
            EXPECT_EQ(result.fault->kind, Fault::Kind::cutShort) << result.fault->description;
        }
    }
}

TEST(IsReplyTo, AcceptsOnlyTheAnswerToOurQuestion) {
    const Bytes good = reply(kGoodAnswer);
    EXPECT_TRUE(isReplyTo(good, 4575, kExample));
    EXPECT_TRUE(isReplyTo(good, 4575, WireName{name("EXAMPLE.Com")}));
    EXPECT_FALSE(isReplyTo(good, 4576, kExample));
    EXPECT_FALSE(isReplyTo(good, 4575, WireName{name("example.org")}));

    auto changed = [&](std::size_t at, std::uint8_t value) {
        Bytes copy = good;
        copy[at] = value;
        return isReplyTo(copy, 4575, kExample);
    };
    EXPECT_FALSE(changed(2, 0x01));   // not a response
    EXPECT_FALSE(changed(2, 0x89));   // opcode 1
    EXPECT_FALSE(changed(5, 0));      // no question
    EXPECT_FALSE(changed(5, 2));      // two questions
    EXPECT_FALSE(changed(26, 1));     // type A
    EXPECT_FALSE(changed(28, 3));     // class CH
    EXPECT_FALSE(changed(20, 0xC0));  // malformed question name
    EXPECT_FALSE(isReplyTo(Bytes(good.begin(), good.begin() + 27), 4575, kExample));
    EXPECT_FALSE(isReplyTo(Bytes(good.begin(), good.begin() + 11), 4575, kExample));
}

}  // namespace
}  // namespace ombrix::lookup
