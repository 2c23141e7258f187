// Lookups against the zone in zones/mx.example.zone, served by the authoritative server
// directly or through the forwarding resolver (the executable's fixture decides which).
#include <gtest/gtest.h>

#include "tests/realserver/dig.h"
#include "tests/realserver/lookup_expectations.h"
#include "tests/realserver/server_under_test.h"

namespace ombrix::realserver {
namespace {


using MxExampleZone = RealServerLookup;

const std::vector<MxRecord> kFive = {
    {"mx2.five.mx.example", 10}, {"mx4.five.mx.example", 10}, {"mx1.five.mx.example", 20},
    {"mx3.five.mx.example", 20}, {"mx5.five.mx.example", 30},
};

TEST_F(MxExampleZone, EqualPreferencesKeepTheReplyOrder) {
    check("five.mx.example", kFive);
}

TEST_F(MxExampleZone, QuestionInMixedCaseIsAcceptedAndEchoedIntoNames) {
    // The server echoes the question's case and compresses the exchanges against it.
    const std::string domain = "FIVE.mx.Example";
    std::vector<MxRecord> echoed = expectedStore(digMx(server, domain));
    ASSERT_EQ(echoed.size(), kFive.size());
    EXPECT_EQ(echoed.front().server, "mx2.FIVE.mx.Example");
    expectLookup(server, domain, echoed);
}

TEST_F(MxExampleZone, ExchangersOutsideTheZoneAreWrittenInFull) {
    check("outside.mx.example", {{"mail.other.example", 10}, {"smtp.mail.other.example", 20}});
}

TEST_F(MxExampleZone, AliasGivesTheMxRecordsOfItsTarget) {
    check("alias.mx.example", kFive);
}

TEST_F(MxExampleZone, NameWithoutMxAndMissingNameGiveNothing) {
    check("nodata.mx.example", {});
    check("missing.mx.example", {}, "NXDOMAIN");
}

TEST_F(MxExampleZone, NullMxIsNotStored) {
    expectLookup(server, "nullmx.mx.example", {});
    EXPECT_EQ(digMx(server, "nullmx.mx.example").records, (std::vector<MxRecord>{{".", 0}}));
}

TEST_F(MxExampleZone, PreferencesAreUnsignedSixteenBits) {
    check("extremes.mx.example", {{"first.extremes.mx.example", 0},
                                  {"middle.extremes.mx.example", 32768},
                                  {"last.extremes.mx.example", 65535}});
}

TEST_F(MxExampleZone, OddLabelBytesReachTheStoreEscaped) {
    check("escaped.mx.example", {{R"(we\.ird\127name\200.escaped.mx.example)", 10}});
}

TEST_F(MxExampleZone, InternationalisedDomainIsAskedInItsAsciiForm) {
    const std::vector<MxRecord> expected = {{"mail.xn--bcher-kva.mx.example", 10},
                                            {"backup.example", 20}};
    expectDigAgrees(server, "xn--bcher-kva.mx.example", expected);
    expectLookup(server, "bücher.mx.example", expected);
    expectLookup(server, "BÜCHER.mx.example", expected);
}

TEST_F(MxExampleZone, TruncatedUdpReplyIsRepeatedOverTcp) {
    const std::vector<MxRecord> many = numberedExchangers("many.mx.example", 40);
    // The premise: a datagram without EDNS cannot hold them all.
    DigAnswer plain = digMx(server, "many.mx.example", DigTransport::PlainUdp);
    EXPECT_TRUE(plain.truncated);
    EXPECT_LT(plain.records.size(), many.size());

    EXPECT_EQ(expectedStore(digMx(server, "many.mx.example", DigTransport::Tcp)), many);
    expectLookup(server, "many.mx.example", many);
}

}  // namespace
}  // namespace ombrix::realserver
