#include "tools/json_line.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/text_line.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using lookup::Outcome;

DomainReport answered() {
    DomainReport report;
    report.domain = "Example.ORG.";
    report.result.outcome = Outcome::exchangers;
    report.result.query = "Example.ORG";
    report.result.rcode = 0;
    report.result.exchangers = {{10, "mx1.example.org", 300, {}, {}},
                                {20, "we\\.ird\\127.example.org", 60, {}, {}}};
    report.result.canonicalName = "real.example.org";
    report.result.wire.server = "127.0.0.1:53";
    report.result.wire.tries = 2;
    report.result.wire.roundTrip = 410us;
    return report;
}

TEST(JsonLine, AnAnswerCarriesEveryFixedKeyAndNoError) {
    const auto text = toJsonLine(answered());
    ASSERT_EQ(text.find('\n'), text.size() - 1);
    const auto line = Json::parse(text);
    EXPECT_EQ(line.at("domain"), "Example.ORG.");
    EXPECT_EQ(line.at("query"), "Example.ORG");
    EXPECT_EQ(line.at("outcome"), "mx");
    EXPECT_EQ(line.at("temporary"), false);
    EXPECT_EQ(line.at("rcode"), "NOERROR");
    EXPECT_EQ(line.at("exchangers"),
              Json::parse(R"([{"preference":10,"name":"mx1.example.org","ttl":300},)"
                          R"({"preference":20,"name":"we\\.ird\\127.example.org","ttl":60}])"));
    EXPECT_EQ(line.at("canonical"), "real.example.org");
    EXPECT_EQ(line.at("server"), "127.0.0.1:53");
    EXPECT_EQ(line.at("transport"), "udp");
    EXPECT_EQ(line.at("tries"), 2);
    EXPECT_DOUBLE_EQ(line.at("rtt_ms").get<double>(), 0.41);
    EXPECT_FALSE(line.contains("error"));
    EXPECT_FALSE(line.contains("trace"));
}

TEST(JsonLine, FailuresCarryTheNumberedErrorAndNoReplyFields) {
    DomainReport report;
    report.domain = "slow.example";
    report.result.outcome = Outcome::noReply;
    report.result.query = "slow.example";
    report.result.wire.server = "127.0.0.1:53";
    report.result.wire.tries = 3;
    report.result.fault = lookup::Fault{lookup::Fault::Kind::noReply, "Problem receiving MX query"};
    report.trace = {{0us, "sent over UDP with ID 7"},
                    {2000000us, "no reply within the try's time"}};
    const auto line = Json::parse(toJsonLine(report));
    EXPECT_EQ(line.at("outcome"), "timeout");
    EXPECT_EQ(line.at("temporary"), true);
    EXPECT_FALSE(line.contains("rcode"));
    EXPECT_FALSE(line.contains("rtt_ms"));
    EXPECT_EQ(line.at("error"), Json::parse(R"({"number":20000,"source":"MXQuery",)"
                                            R"("description":"Problem receiving MX query"})"));
    ASSERT_EQ(line.at("trace").size(), 2u);
    EXPECT_EQ(line.at("trace")[1].at("at_ms"), 2000.0);

    report.result.outcome = Outcome::serverFailure;
    report.result.rcode = 9;
    EXPECT_EQ(Json::parse(toJsonLine(report)).at("rcode"), 9);
    report.result.rcode = 5;
    EXPECT_EQ(Json::parse(toJsonLine(report)).at("rcode"), "REFUSED");
}

TEST(JsonLine, AnyInputBytesStillMakeValidJson) {
    DomainReport report;
    report.domain = std::string("caf\xC3\xA9\xFF\x01\"\\.example", 17);
    report.result.outcome = Outcome::invalidDomain;
    report.result.fault = lookup::Fault{lookup::Fault::Kind::invalidDomain, "bad"};
    const auto text = toJsonLine(report);
    const auto line = Json::parse(text);
    EXPECT_EQ(line.at("domain"), "caf\xC3\xA9\xEF\xBF\xBD\x01\"\\.example");
    EXPECT_EQ(line.at("outcome"), "invalid");
    EXPECT_FALSE(line.contains("query"));
    EXPECT_FALSE(line.contains("transport"));
    EXPECT_EQ(line.at("error").at("number"), 5);
}

TEST(JsonLine, AddressesAndTheirStatusShowInJsonAndText) {
    auto report = answered();
    report.result.exchangers[0].ipv4 = {"192.0.2.1"};
    report.result.exchangers[0].ipv6 = {"2001:db8::1"};
    report.addressStatus = {lookup::AddressStatus::found, lookup::AddressStatus::nxdomain};
    const auto exchangers = Json::parse(toJsonLine(report)).at("exchangers");
    EXPECT_EQ(exchangers[0].at("ipv4"), Json::parse(R"(["192.0.2.1"])"));
    EXPECT_EQ(exchangers[0].at("ipv6"), Json::parse(R"(["2001:db8::1"])"));
    EXPECT_EQ(exchangers[0].at("status"), "ok");
    EXPECT_EQ(exchangers[1].at("status"), "nxdomain");
    EXPECT_EQ(toTextLine(report),
              "Example.ORG. mx 10 mx1.example.org [192.0.2.1 2001:db8::1], "
              "20 we\\.ird\\127.example.org [nxdomain]\n");
}

TEST(TextLine, OneLinePerDomainWithoutTerminalControls) {
    EXPECT_EQ(toTextLine(answered()),
              "Example.ORG. mx 10 mx1.example.org, 20 we\\.ird\\127.example.org\n");
    DomainReport report;
    report.domain = "\033[2Jx.example";
    report.result.outcome = Outcome::noReply;
    report.result.fault = lookup::Fault{lookup::Fault::Kind::noReply, "Problem receiving MX query"};
    EXPECT_EQ(toTextLine(report), "\\027[2Jx.example timeout: Problem receiving MX query\n");
}

}  // namespace
}  // namespace ombrix::tools
