#include <gtest/gtest.h>

#include "ombrix/lookup/tlsa_reply.h"
#include "ombrix/lookup/txt_reply.h"
#include "reply.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;
using testing::name;
using testing::pointerTo;
using testing::ReplyBuilder;
using testing::withResponseCode;

const WireName kTlsaName{name("_25._tcp.mx.example")};
const WireName kTxtName{name("_mta-sts.example")};

Bytes tlsaData(std::uint8_t usage, std::uint8_t selector, std::uint8_t matching,
               const Bytes& association) {
    Bytes data{usage, selector, matching};
    data.insert(data.end(), association.begin(), association.end());
    return data;
}

Bytes strings(std::initializer_list<std::string_view> texts) {
    Bytes data;
    for (const auto text : texts) {
        data.push_back(static_cast<std::uint8_t>(text.size()));
        data.insert(data.end(), text.begin(), text.end());
    }
    return data;
}

TEST(TlsaReply, ReadsEachRecordOfTheChainsEndWithItsDataFencedAtItsLength) {
    const auto reply =
        ReplyBuilder("_25._tcp.mx.example", 1, kTypeTlsa)
            .answer(pointerTo(12), kTypeCname, name("_25._tcp.mx.hoster.example"))
            .answer(name("_25._tcp.mx.hoster.example"), kTypeTlsa,
                    tlsaData(3, 1, 1, {0xAB, 0x0F, 0x00}))
            // Not the chain's name: passed over.
            .answer(name("_25._tcp.other.example"), kTypeTlsa, tlsaData(2, 0, 1, {0x11}))
            .answer(name("_25._tcp.mx.hoster.example"), kTypeTlsa, tlsaData(0, 0, 0, {}))
            .bytes();
    const auto read = readTlsaReply(reply, kTlsaName);
    ASSERT_EQ(read.status, RecordStatus::found);
    EXPECT_EQ(read.records, (std::vector<TlsaRecord>{{3, 1, 1, "ab0f00"}, {0, 0, 0, ""}}));
    EXPECT_EQ(read.canonicalName, "_25._tcp.mx.hoster.example");
    EXPECT_FALSE(read.fault);
}

TEST(TlsaReply, TellsNoRecordFromFailureAndRefusesBrokenData) {
    const auto empty = ReplyBuilder("_25._tcp.mx.example", 1, kTypeTlsa).bytes();
    EXPECT_EQ(readTlsaReply(empty, kTlsaName).status, RecordStatus::noData);
    EXPECT_EQ(readTlsaReply(withResponseCode(empty, 3), kTlsaName).status, RecordStatus::nxdomain);
    const auto servfail = readTlsaReply(withResponseCode(empty, 2), kTlsaName);
    EXPECT_EQ(servfail.status, RecordStatus::serverFailure);
    EXPECT_TRUE(servfail.failed());

    const auto tooShort = readTlsaReply(ReplyBuilder("_25._tcp.mx.example", 1, kTypeTlsa)
                                            .answer(pointerTo(12), kTypeTlsa, {3, 1})
                                            .bytes(),
                                        kTlsaName);
    EXPECT_EQ(tooShort.status, RecordStatus::malformed);
    EXPECT_TRUE(tooShort.records.empty());
    EXPECT_NE(tooShort.fault->description.find("TLSA record at offset 37 ends inside its data"),
              std::string::npos);

    Bytes cut = ReplyBuilder("_25._tcp.mx.example", 1, kTypeTlsa)
                    .answer(pointerTo(12), kTypeTlsa, tlsaData(3, 1, 1, Bytes(32, 7)))
                    .bytes();
    cut.resize(cut.size() - 1);
    EXPECT_EQ(readTlsaReply(cut, kTlsaName).fault->kind, Fault::Kind::cutShort);
}

TEST(TxtReply, JoinsTheStringsOfOneRecordAndKeepsRecordsApart) {
    const auto reply = ReplyBuilder("_mta-sts.example", 1, kTypeTxt)
                           .answer(pointerTo(12), kTypeTxt, strings({"v=STSv1; ", "id=2024"}))
                           .answer(pointerTo(12), kTypeTxt, strings({"", "other\x01text"}))
                           .answer(pointerTo(12), kTypeMx, testing::mxData(10, name("mx")))
                           .bytes();
    const auto read = readTxtReply(reply, kTxtName);
    ASSERT_EQ(read.status, RecordStatus::found);
    EXPECT_EQ(read.records, (std::vector<std::string>{"v=STSv1; id=2024", "other\x01text"}));
    EXPECT_FALSE(read.canonicalName);
}

TEST(TxtReply, RefusesARecordWithoutStringsOrWithAStringPastItsData) {
    const auto noString = readTxtReply(
        ReplyBuilder("_mta-sts.example", 1, kTypeTxt).answer(pointerTo(12), kTypeTxt, {}).bytes(),
        kTxtName);
    EXPECT_EQ(noString.status, RecordStatus::malformed);
    EXPECT_NE(noString.fault->description.find("holds no character-string"), std::string::npos);

    // The string claims five octets where its record holds three; the next record's bytes
    // follow, and must not be read as part of it.
    const auto overrun = readTxtReply(ReplyBuilder("_mta-sts.example", 1, kTypeTxt)
                                          .answer(pointerTo(12), kTypeTxt, {5, 'a', 'b'})
                                          .answer(pointerTo(12), kTypeTxt, strings({"xyz"}))
                                          .bytes(),
                                      kTxtName);
    EXPECT_EQ(overrun.status, RecordStatus::malformed);
    EXPECT_NE(overrun.fault->description.find("TXT record at offset 34 ends inside its data"),
              std::string::npos);
}

}  // namespace
}  // namespace ombrix::lookup
