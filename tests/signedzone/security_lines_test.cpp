// mxlookup --security against the signed-zone bed: each domain's JSON line says what the
// zones under sec.example hold, and a server that does not validate is refused before any
// domain is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/realserver/server_under_test.h"
#include "tools/tests/spawn_program.h"

namespace ombrix::realserver {
namespace {

using Json = nlohmann::json;

// One exchanger as the zones make it: its name, address status, TLSA status and the name the
// TLSA answer came from.
struct ExchangerWant {
    std::string name;
    std::string addressDnssec;
    std::string tlsa;
    std::string tlsaName;
};

struct LineWant {
    std::string outcome;
    std::string dnssec;
    std::string dane;
    std::string mtaSts;
    std::string tlsRpt;
    std::vector<ExchangerWant> exchangers;  // the implicit one for no_mx
};

const std::map<std::string, LineWant>& wanted() {
    const std::string tcp = "_25._tcp.";
    auto secure = [&](const std::string& name, const std::string& tlsa) {
        return ExchangerWant{name, "secure", tlsa, tcp + name};
    };
    static const std::map<std::string, LineWant> lines = {
        {"verified",
         {"mx",
          "secure",
          "verified",
          "valid",
          "valid",
          {secure("mx1.verified.sec.example", "usable"),
           secure("mx2.verified.sec.example", "usable")}}},
        {"partial",
         {"mx",
          "secure",
          "partial",
          "absent",
          "absent",
          {secure("mx1.partial.sec.example", "usable"),
           secure("mx2.partial.sec.example", "absent")}}},
        {"notlsa",
         {"mx", "secure", "none", "absent", "absent", {secure("mx.notlsa.sec.example", "absent")}}},
        {"pkix",
         {"mx",
          "secure",
          "unusable",
          "absent",
          "absent",
          {secure("mx.pkix.sec.example", "unusable")}}},
        {"badlength",
         {"mx",
          "secure",
          "unusable",
          "absent",
          "absent",
          {secure("mx.badlength.sec.example", "unusable")}}},
        {"elsewhere",
         {"mx",
          "secure",
          "verified",
          "absent",
          "absent",
          {secure("mx.hoster.sec.example", "usable")}}},
        // The alias's TLSA is found at the name it leads to.
        {"alias",
         {"mx",
          "secure",
          "verified",
          "absent",
          "absent",
          {{"mail.alias.sec.example", "secure", "usable", tcp + "mx.hoster.sec.example"}}}},
        {"nullmx", {"null_mx", "secure", "not_applicable", "absent", "absent", {}}},
        {"nomx",
         {"no_mx",
          "secure",
          "verified",
          "absent",
          "absent",
          {secure("nomx.sec.example", "usable")}}},
        {"unsigned",
         {"mx",
          "insecure",
          "insecure",
          "absent",
          "absent",
          {{"mx.unsigned.sec.example", "insecure", "skipped", tcp + "mx.unsigned.sec.example"}}}},
        {"expired", {"server_failure", "bogus", "error", "error", "error", {}}},
        {"wrongds", {"server_failure", "bogus", "error", "error", "error", {}}},
        {"sts-doubled",
         {"no_mx",
          "secure",
          "none",
          "invalid",
          "absent",
          {secure("sts-doubled.sec.example", "absent")}}},
        {"sts-badid",
         {"no_mx",
          "secure",
          "none",
          "invalid",
          "absent",
          {secure("sts-badid.sec.example", "absent")}}},
        {"rpt-baduri",
         {"no_mx",
          "secure",
          "none",
          "absent",
          "invalid",
          {secure("rpt-baduri.sec.example", "absent")}}},
        {"missing", {"nxdomain", "secure", "not_applicable", "absent", "absent", {}}},
    };
    return lines;
}

std::string scratch(const std::string& suffix) {
    return ::testing::TempDir() + "security_lines_" + suffix;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void expectExchanger(const Json& got, const ExchangerWant& want, const std::string& domain) {
    EXPECT_EQ(got.at("name"), want.name) << domain;
    EXPECT_EQ(got.at("address_dnssec"), want.addressDnssec) << domain;
    const auto& tlsa = got.at("tlsa");
    EXPECT_EQ(tlsa.at("status"), want.tlsa) << domain;
    EXPECT_EQ(tlsa.at("name"), want.tlsaName) << domain;
    EXPECT_EQ(tlsa.contains("dnssec"), want.tlsa != "skipped") << domain;
    // Records are listed whenever the answer had them, usable or not.
    const bool hasRecords = want.tlsa == "usable" || want.tlsa == "unusable";
    EXPECT_EQ(tlsa.at("records").empty(), !hasRecords) << domain;
}

void expectLine(const Json& line, const LineWant& want) {
    const std::string domain = line.at("domain");
    EXPECT_EQ(line.at("outcome"), want.outcome) << domain;
    EXPECT_EQ(line.at("dnssec"), want.dnssec) << domain;
    EXPECT_EQ(line.at("dane"), want.dane) << domain;
    EXPECT_EQ(line.at("mta_sts").at("status"), want.mtaSts) << domain;
    EXPECT_EQ(line.at("tls_rpt").at("status"), want.tlsRpt) << domain;
    const bool implicit = want.outcome == "no_mx";
    EXPECT_EQ(line.contains("implicit_exchanger"), implicit) << domain;
    const auto& exchangers = line.at("exchangers");
    if (implicit) {
        EXPECT_TRUE(exchangers.empty()) << domain;
        expectExchanger(line.at("implicit_exchanger"), want.exchangers.front(), domain);
        return;
    }
    ASSERT_EQ(exchangers.size(), want.exchangers.size()) << domain;
    for (std::size_t i = 0; i < exchangers.size(); ++i) {
        expectExchanger(exchangers[i], want.exchangers[i], domain);
    }
}

TEST(SecurityLines, EveryCaseOfTheBedReadsAsItsZonesSay) {
    const auto server = serverUnderTest();
    std::vector<std::string> args = {
        "--security", "--json",           "-q",          "--timeout",
        "2",          "--validated-name", "sec.example", "@" + server.address()};
    for (const auto& [label, want] : wanted()) {
        args.push_back(label + ".sec.example");
    }
    const tools::ProgramFiles files{"/dev/null", scratch("out"), scratch("err")};
    // Expired and wrongds fail, so not every domain has an answer.
    EXPECT_EQ(tools::spawnProgram(MXLOOKUP_PATH, args, files), 1) << contentsOf(files.err);
    std::istringstream lines(contentsOf(files.out));
    std::size_t seen = 0;
    Json verified;
    for (std::string text; std::getline(lines, text);) {
        const auto line = Json::parse(text);
        const std::string domain = line.at("domain");
        const auto label = domain.substr(0, domain.find(".sec.example"));
        ASSERT_TRUE(wanted().count(label)) << domain;
        expectLine(line, wanted().at(label));
        if (label == "verified") {
            verified = line;
        }
        ++seen;
    }
    EXPECT_EQ(seen, wanted().size());
    ASSERT_FALSE(verified.is_null());
    EXPECT_EQ(verified.at("mta_sts").at("id"), "20240101T000000");
    EXPECT_EQ(
        verified.at("tls_rpt").at("rua"),
        Json::parse(R"(["mailto:tls-reports@sec.example","https://reports.sec.example/v1"])"));
}

TEST(SecurityLines, AServerThatDoesNotValidateIsRefusedBeforeAnyDomain) {
    std::ifstream portFile(std::string(std::getenv("OMBRIX_PLAIN_RUNDIR")) + "/port");
    int port = 0;
    ASSERT_TRUE(portFile >> port) << "the plain resolver's fixture left no port";
    const auto list = scratch("list");
    std::ofstream(list) << "verified.sec.example\n";
    const tools::ProgramFiles files{"/dev/null", scratch("plain_out"), scratch("plain_err")};
    const int status = tools::spawnProgram(MXLOOKUP_PATH,
                                           {"--security", "--validated-name", "sec.example",
                                            "@127.0.0.1:" + std::to_string(port), "-f", list},
                                           files);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(contentsOf(files.out), "");
    EXPECT_NE(contentsOf(files.err).find("lacks the AD bit"), std::string::npos)
        << contentsOf(files.err);
}

}  // namespace
}  // namespace ombrix::realserver
