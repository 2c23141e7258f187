// mxlookup with a list of 20,000 domains against the authoritative server: one JSON line per
// domain, each holding what the zone says for its case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "tests/realserver/server_under_test.h"
#include "tools/tests/spawn_program.h"

namespace ombrix::realserver {
namespace {

using Json = nlohmann::json;

constexpr int kDomains = 20000;
constexpr std::array<const char*, 12> kCases = {"several", "nullmx", "mixed",  "addronly",
                                                "nx",      "alias",  "noaddr", "bare",
                                                "mxalias", "iplit",  "v6only", "big"};

// The exchangers the zone gives a case, as (preference, name), in preference order.
std::vector<std::pair<int, std::string>> exchangersOf(const std::string& kase) {
    if (kase == "several") {
        return {{10, "mx1.bulk.example"}, {20, "mx2.bulk.example"}, {20, "mx6.bulk.example"}};
    }
    if (kase == "mixed" || kase == "alias") {
        return {{10, "mx1.bulk.example"}};
    }
    const std::map<std::string, std::string> single = {{"noaddr", "ghost.bulk.example"},
                                                       {"bare", "bare.bulk.example"},
                                                       {"mxalias", "mxcname.bulk.example"},
                                                       {"iplit", "192.0.2.25"},
                                                       {"v6only", "mx6.bulk.example"}};
    if (const auto found = single.find(kase); found != single.end()) {
        return {{10, found->second}};
    }
    std::vector<std::pair<int, std::string>> many;
    for (int i = 1; kase == "big" && i <= 70; ++i) {
        many.emplace_back(i * 10, (i < 10 ? "mx0" : "mx") + std::to_string(i) + ".many.mx.example");
    }
    return many;
}

std::string outcomeOf(const std::string& kase) {
    const std::map<std::string, std::string> outcomes = {
        {"nullmx", "null_mx"}, {"addronly", "no_mx"}, {"nx", "nxdomain"}};
    const auto found = outcomes.find(kase);
    return found == outcomes.end() ? "mx" : found->second;
}

void expectLine(const Json& line, const std::string& kase) {
    const std::string domain = line.at("domain");
    EXPECT_EQ(line.at("query"), domain);
    EXPECT_EQ(line.at("outcome"), outcomeOf(kase)) << domain;
    EXPECT_EQ(line.at("temporary"), false) << domain;
    EXPECT_EQ(line.at("rcode"), kase == "nx" ? "NXDOMAIN" : "NOERROR") << domain;
    EXPECT_EQ(line.value("null_mx_mixed", false), kase == "mixed") << domain;
    EXPECT_EQ(line.value("canonical", ""), kase == "alias" ? "target.bulk.example" : "") << domain;
    EXPECT_EQ(line.at("transport"), kase == "big" ? "tcp" : "udp") << domain;
    EXPECT_FALSE(line.contains("error")) << domain;

    const auto expected = exchangersOf(kase);
    const auto& exchangers = line.at("exchangers");
    ASSERT_EQ(exchangers.size(), expected.size()) << domain;
    std::multiset<std::pair<int, std::string>> got;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(exchangers[i].at("preference"), expected[i].first) << domain;
        EXPECT_EQ(exchangers[i].at("ttl"), 300) << domain;
        got.emplace(exchangers[i].at("preference"), exchangers[i].at("name"));
    }
    // Equal preferences come in the server's order, which the zone does not fix.
    EXPECT_EQ(got, std::multiset(expected.begin(), expected.end())) << domain;
}

struct Addresses {
    std::vector<std::string> ipv4;
    std::vector<std::string> ipv6;
    std::string status;
};

// What the zones give an exchanger's name; a name they do not hold does not exist.
Addresses addressesOf(const std::string& exchanger) {
    const std::map<std::string, Addresses> known = {
        {"mx1.bulk.example", {{"192.0.2.11"}, {}, "ok"}},
        {"mx2.bulk.example", {{"192.0.2.12"}, {"2001:db8::12"}, "ok"}},
        {"mx6.bulk.example", {{}, {"2001:db8::66"}, "ok"}},
        {"mxcname.bulk.example", {{"192.0.2.11"}, {}, "cname"}},
        {"bare.bulk.example", {{}, {}, "no_address"}},
        {"192.0.2.25", {{}, {}, "ip_literal"}},
    };
    const auto found = known.find(exchanger);
    return found == known.end() ? Addresses{{}, {}, "nxdomain"} : found->second;
}

void expectAddresses(const Json& line) {
    for (const auto& exchanger : line.at("exchangers")) {
        const auto expected = addressesOf(exchanger.at("name"));
        const std::string where =
            line.at("domain").get<std::string>() + " " + exchanger.at("name").get<std::string>();
        EXPECT_EQ(exchanger.at("status"), expected.status) << where;
        EXPECT_EQ(exchanger.at("ipv4"), expected.ipv4) << where;
        EXPECT_EQ(exchanger.at("ipv6"), expected.ipv6) << where;
    }
}

// Runs mxlookup on `count` domains, every case in turn, and checks each line against the zone.
void checkList(int count, std::vector<std::string> options) {
    const auto server = serverUnderTest();
    const bool addresses =
        std::find(options.begin(), options.end(), "--addresses") != options.end();
    const std::string scratch = ::testing::TempDir() + "bulk_zone_" + std::to_string(::getpid());
    const std::string list = scratch + "_list.txt";
    const std::string out = scratch + "_out.jsonl";
    const std::string err = scratch + "_err.txt";
    std::map<std::string, std::string> caseOf;
    {
        std::ofstream file(list);
        file << "# every case of the zone, over and over\n";
        for (int i = 0; i < count; ++i) {
            const std::string kase = kCases[static_cast<std::size_t>(i) % kCases.size()];
            const auto domain = "d" + std::to_string(i) + "." + kase + ".bulk.example";
            caseOf[domain] = kase;
            file << domain << '\n';
        }
    }
    options.insert(options.end(), {"--json", "-q", "@" + server.address(), "-f", list});
    const int status = tools::spawnProgram(MXLOOKUP_PATH, options, {"/dev/null", out, err});
    std::ifstream errors(err);
    std::stringstream errorText;
    errorText << errors.rdbuf();
    EXPECT_EQ(status, 0) << errorText.str();

    std::ifstream lines(out);
    std::set<std::string> seen;
    std::string text;
    while (std::getline(lines, text)) {
        const auto line = Json::parse(text);
        const std::string domain = line.at("domain");
        ASSERT_TRUE(caseOf.contains(domain)) << text;
        EXPECT_TRUE(seen.insert(domain).second) << "twice: " << domain;
        expectLine(line, caseOf.at(domain));
        if (addresses) {
            expectAddresses(line);
        }
    }
    EXPECT_EQ(seen.size(), caseOf.size());
    for (const auto& path : {list, out, err}) {
        std::remove(path.c_str());
    }
}

TEST(BulkZone, EveryDomainOfAListGetsOneLineThatMatchesTheZone) {
    checkList(kDomains, {});
}

TEST(BulkZone, EveryExchangerGetsTheAddressesTheZoneGivesIt) {
    checkList(static_cast<int>(kCases.size()) * 50, {"--addresses"});
}

}  // namespace
}  // namespace ombrix::realserver
