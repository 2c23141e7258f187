#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;
using testing::mxData;
using testing::name;
using testing::pointerTo;
using testing::ReplyBuilder;

const WireName kExample{name("example.com")};
constexpr std::uint16_t kTypeA = 1;

std::vector<MxRecord> walk(const Bytes& reply, MxStore& store, std::size_t expectedCount) {
    const auto count = walkAnswers(reply, kExample, store);
    EXPECT_TRUE(count.ok()) << count.error().description;
    EXPECT_EQ(count ? count.value() : 0, expectedCount);
    EXPECT_EQ(store.count(), expectedCount);
    return store.list();
}

std::vector<MxRecord> walk(const Bytes& reply, std::size_t expectedCount) {
    MxStore store;
    return walk(reply, store, expectedCount);
}

Error fault(const Bytes& reply, MxStore& store) {
    const auto count = walkAnswers(reply, kExample, store);
    EXPECT_FALSE(count.ok());
    return count ? Error{} : count.error();
}

void expectFault(const Bytes& reply, int number, const std::string& words) {
    MxStore store;
    const Error error = fault(reply, store);
    EXPECT_EQ(error.number, number) << error.description;
    EXPECT_NE(error.description.find(words), std::string::npos) << error.description;
}

TEST(WalkAnswers, StoresCompressedAndFullExchangesInPreferenceOrder) {
    const auto reply = ReplyBuilder("example.com")
                           .mx(20, name("mx1", ReplyBuilder::kQuestionOffset))
                           .mx(10, name("mx2.example.com"))
                           .mx(10, name("mx3", ReplyBuilder::kQuestionOffset))
                           .bytes();
    MxStore store;
    const std::vector<MxRecord> expected{
        {"mx2.example.com", 10}, {"mx3.example.com", 10}, {"mx1.example.com", 20}};
    EXPECT_EQ(walk(reply, store, 3), expected);
    EXPECT_EQ(store.best(), "mx2.example.com");
}

TEST(WalkAnswers, FollowsExchangesPointingIntoAPreviousRecordsData) {
    // An authoritative server writes an out-of-zone exchange in full and points the next
    // exchange's suffix into it.
    ReplyBuilder reply("example.com");
    const auto firstExchange = static_cast<std::uint16_t>(reply.offset() + 2 + 10 + 2);
    reply.mx(10, name("mx1.mail.example.net")).mx(20, name("mx2", firstExchange + 4));
    const std::vector<MxRecord> expected{{"mx1.mail.example.net", 10},
                                         {"mx2.mail.example.net", 20}};
    EXPECT_EQ(walk(reply.bytes(), 2), expected);
}

TEST(WalkAnswers, FollowsTheCnameChainAndStepsOverOtherRecords) {
    ReplyBuilder reply("example.com");
    reply.answer(pointerTo(12), kTypeA, {192, 0, 2, 1})
        .answer(pointerTo(12), kTypeCname, name("alias.example.org"))
        .answer(name("alias.example.org"), kTypeCname, name("Mail.Example.NET"))
        .answer(name("mail.example.net"), kTypeMx, mxData(5, name("mx.example.net")))
        .answer(name("other.example.net"), kTypeMx, mxData(1, name("wrong.example.net")))
        .answer(pointerTo(12), kTypeMx, mxData(1, name("stale.example.com")))
        .answer(name("mail.example.net"), kTypeMx, mxData(7, name("chaos.example.net")), 3)
        .authority(name("example.net"), 2, name("ns.example.net"))
        .additional(name("mx.example.net"), kTypeA, {192, 0, 2, 25});
    EXPECT_EQ(walk(reply.bytes(), 1), (std::vector<MxRecord>{{"mx.example.net", 5}}));
}

TEST(WalkAnswers, NullAndBlankExchangesAreConsumedButNotStored) {
    const auto reply = ReplyBuilder("example.com")
                           .mx(0, name(""))
                           .mx(10, name("   "))
                           .mx(65535, name("last.example"))
                           .mx(30, name("mx.example"))
                           .bytes();
    const std::vector<MxRecord> expected{{"mx.example", 30}, {"last.example", 65535}};
    EXPECT_EQ(walk(reply, 2), expected);
    EXPECT_EQ(walk(ReplyBuilder("example.com").mx(0, name("")).bytes(), 0),
              std::vector<MxRecord>{MxRecord{}});
}

TEST(WalkAnswers, ExchangesReachTheStoreInPresentationForm) {
    const Bytes odd{4, 'a', '.', 0x07, '\\', 0};
    const auto reply = ReplyBuilder("example.com").mx(1, odd).bytes();
    EXPECT_EQ(walk(reply, 1), (std::vector<MxRecord>{{"a\\.\\007\\\\", 1}}));
}

// Hand-written faults. The reply is example.com's question (offsets 12..28) and answers.
const Bytes kHead{0x11, 0xDF, 0x81, 0x80, 0,   1,   0,   2,   0, 0,   0,   0,  // header, 2 answers
                  7,    'e',  'x',  'a',  'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0,  // 12: qname
                  0,    15,   0,    1};                                             // 25: MX IN
const Bytes kGoodAnswer{0xC0, 12, 0, 15,  0,   1, 0, 0, 0, 60, 0, 6,  // 29: owner, MX IN, len 6
                        0,    10, 2, 'm', 'x', 0};                    // 41: pref 10, "mx"

Bytes reply(const Bytes& secondAnswer) {
    Bytes out = kHead;
    out.insert(out.end(), kGoodAnswer.begin(), kGoodAnswer.end());
    out.insert(out.end(), secondAnswer.begin(), secondAnswer.end());
    return out;
}

TEST(WalkAnswers, MalformedAnswersFailWithADescriptionAndKeepWhatCameBefore) {
    // Fault class: RDATA overrun, the exchange's label reaches past RDLENGTH 5.
    const Bytes overrun{0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 5, 0, 20, 3, 'm', 'x', '2', 0};
    MxStore store;
    const Error error = fault(reply(overrun), store);
    EXPECT_EQ(error.number, kQueryFailed);
    EXPECT_EQ(error.source, kQuerySource);
    EXPECT_EQ(error.description,
              "Malformed DNS reply: the name at offset 61 runs past the end of its record data "
              "(answer 2 of 2)");
    EXPECT_EQ(store.list(), (std::vector<MxRecord>{{"mx", 10}}));
    EXPECT_EQ(store.best(), "mx");

    // Fault class: bytes left in MX data after the exchange.
    expectFault(
        reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 7, 0, 20, 0xC0, 43, 0xAA, 0xBB, 0xCC}),
        kQueryFailed, "has 3 bytes after its name");
    // Fault class: MX data too short for a preference.
    expectFault(reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 1, 0}), kQueryFailed,
                "too short to hold a preference");
    // Fault class: owner name pointing forwards.
    expectFault(reply({0xC0, 60, 0, 15, 0, 1, 0, 0, 0, 60, 0, 2, 0, 1}), kQueryFailed,
                "compression pointer at offset 47 does not point backwards");
    // Fault class: label type 0x80 in an exchange.
    expectFault(reply({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 4, 0, 1, 0x80, 0}), kQueryFailed,
                "unknown label type 0x80");
    // Fault class: a CNAME to follow whose data is not a name.
    expectFault(reply({0xC0, 12, 0, 5, 0, 1, 0, 0, 0, 60, 0, 2, 0x40, 0}), kQueryFailed,
                "label type 0x40");
}

TEST(WalkAnswers, AReplyEndingBeforeItsCountsSayIsError9) {
    // Fault class: counts promise more than the bytes hold; 0x8000 must not read as negative.
    Bytes oneAnswer = kHead;
    oneAnswer.insert(oneAnswer.end(), kGoodAnswer.begin(), kGoodAnswer.end());
    expectFault(
        oneAnswer, kSubscriptOutOfRange,
        "Subscript out of range: the reply ends inside the name at offset 47 (answer 2 of 2)");
    oneAnswer[6] = 0x80;
    oneAnswer[7] = 0x00;
    expectFault(oneAnswer, kSubscriptOutOfRange, "(answer 2 of 32768)");
    oneAnswer[6] = 0;
    oneAnswer[7] = 1;
    oneAnswer[11] = 1;  // one additional record promised, none present
    expectFault(oneAnswer, kSubscriptOutOfRange, "(additional record 1 of 1)");
    // Fault class: record data cut short of its RDLENGTH.
    oneAnswer[11] = 0;
    oneAnswer.pop_back();
    expectFault(oneAnswer, kSubscriptOutOfRange, "ends inside the data of the record at offset 29");
}

TEST(WalkAnswers, EveryTruncatedPrefixOfAValidReplyFailsCleanly) {
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
        MxStore store;
        ASSERT_TRUE(walkAnswers(full, kExample, store).ok());
        for (std::size_t length = 0; length < full.size(); ++length) {
            const Bytes prefix(full.begin(), full.begin() + static_cast<long>(length));
            const auto count = walkAnswers(prefix, kExample, store);
            ASSERT_FALSE(count.ok()) << "prefix of " << length << " bytes";
            EXPECT_EQ(count.error().number, kSubscriptOutOfRange) << count.error().description;
            EXPECT_EQ(store.list().size(), std::max<std::size_t>(store.count(), 1));
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
