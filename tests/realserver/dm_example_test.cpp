// Lookups against the names in dnsmasq.conf, answered by the local-answer server from its own
// configuration. It writes the records of a name in the reverse of their configured order, so
// reply order among equal preferences is the reverse of the file's.
#include <gtest/gtest.h>

#include "tests/realserver/dig.h"
#include "tests/realserver/lookup_expectations.h"
#include "tests/realserver/server_under_test.h"

namespace ombrix::realserver {
namespace {


using DmExampleNames = RealServerLookup;

const std::vector<MxRecord> kFive = {
    {"mx4.five.dm.example", 10}, {"mx2.five.dm.example", 10}, {"mx3.five.dm.example", 20},
    {"mx1.five.dm.example", 20}, {"mx5.five.dm.example", 30},
};

TEST_F(DmExampleNames, EqualPreferencesKeepTheReplyOrder) {
    check("five.dm.example", kFive);
    // Mixed case in the question; this server writes the exchanges as configured.
    expectLookup(server, "Five.DM.example", kFive);
}

TEST_F(DmExampleNames, ExchangersOutsideTheDomain) {
    check("outside.dm.example", {{"mail.other.example", 10}, {"smtp.mail.other.example", 20}});
}

TEST_F(DmExampleNames, AliasGivesTheMxRecordsOfItsTarget) {
    check("alias.dm.example", kFive);
}

TEST_F(DmExampleNames, NameWithoutMxAndMissingNameGiveNothing) {
    check("nodata.dm.example", {});
    check("missing.dm.example", {}, "NXDOMAIN");
}

TEST_F(DmExampleNames, PreferencesAreUnsignedSixteenBits) {
    check("extremes.dm.example", {{"first.extremes.dm.example", 0},
                                  {"middle.extremes.dm.example", 32768},
                                  {"last.extremes.dm.example", 65535}});
}

TEST_F(DmExampleNames, InternationalisedDomainIsAskedInItsAsciiForm) {
    const std::vector<MxRecord> expected = {{"mail.xn--bcher-kva.dm.example", 10},
                                            {"backup.example", 20}};
    expectDigAgrees(server, "xn--bcher-kva.dm.example", expected);
    expectLookup(server, "bücher.dm.example", expected);
}

TEST_F(DmExampleNames, TruncatedUdpReplyIsRepeatedOverTcp) {
    const std::vector<MxRecord> many = numberedExchangers("many.dm.example", 40);
    DigAnswer plain = digMx(server, "many.dm.example", DigTransport::PlainUdp);
    EXPECT_TRUE(plain.truncated);
    EXPECT_LT(plain.records.size(), many.size());

    EXPECT_EQ(expectedStore(digMx(server, "many.dm.example", DigTransport::Tcp)), many);
    expectLookup(server, "many.dm.example", many);
}

}  // namespace
}  // namespace ombrix::realserver
