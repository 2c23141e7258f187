#include "tools/bulk/bulk_lookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "ombrix/lookup/query_message.h"
#include "testing/mx_answer.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
using lookup::Outcome;
using testing::Bytes;
using testing::mxReply;
using testing::name;
using testing::QueryView;
using testing::readQuery;
using testing::ReplyBuilder;
using testing::Responder;
using testing::ScriptedDnsServer;
using testing::truncated;
using testing::withResponseCode;

class CollectingIo : public BulkIo {
  public:
    explicit CollectingIo(std::vector<std::string> domains) : domains_(std::move(domains)) {}

    std::optional<std::string> nextDomain() override {
        if (next_ == domains_.size()) {
            return std::nullopt;
        }
        return domains_[next_++];
    }
    bool listOver() const override { return next_ == domains_.size(); }
    void report(DomainReport&& report) override { reports.push_back(std::move(report)); }
    bool flush() override { return true; }

    std::map<std::string, DomainReport> byDomain() const {
        std::map<std::string, DomainReport> found;
        for (const auto& report : reports) {
            EXPECT_TRUE(found.emplace(report.domain, report).second) << "twice: " << report.domain;
        }
        return found;
    }

    std::vector<DomainReport> reports;

  private:
    std::vector<std::string> domains_;
    std::size_t next_ = 0;
};

// Answers by the first label of the name: how a zone of every case would.
Bytes answerFor(const QueryView& query) {
    const auto kind = query.name.substr(0, query.name.find_first_of("0123456789."));
    if (kind == "mx") {
        return mxReply(query, {{20, "b." + query.name}, {10, "a." + query.name}});
    }
    if (kind == "null") {
        return mxReply(query, {{0, ""}});
    }
    Bytes empty = mxReply(query, {});
    if (kind == "nx") {
        return withResponseCode(empty, 3);
    }
    if (kind == "fail") {
        return withResponseCode(empty, 2);
    }
    if (kind == "big") {
        return truncated(empty);
    }
    if (kind == "cut") {
        empty.at(7) = 1;  // ANCOUNT: an answer promised and missing
    }
    return empty;
}

void answerTruthfully(const Bytes& message, Responder& out) {
    const auto query = readQuery(message);
    if (!query.name.starts_with("silent")) {
        out.send(answerFor(query));
    }
}

void answerOverTcp(const Bytes& message, Responder& out) {
    const auto query = readQuery(message);
    out.send(mxReply(query, {{5, "tcp." + query.name}}));
}

BulkSettings quick(std::chrono::milliseconds timeout, int tries) {
    BulkSettings settings;
    settings.timeout = timeout;
    settings.tries = tries;
    settings.maxInFlight = 50;
    return settings;
}

// mx0.example, mx1.example, ...
std::vector<std::string> numberedDomains(int count) {
    std::vector<std::string> domains;
    for (int i = 0; i < count; ++i) {
        domains.push_back("mx" + std::to_string(i) + ".example");
    }
    return domains;
}

lookup::ServerAddress addressOf(const ScriptedDnsServer& server) {
    return lookup::resolveServer(server.setting(), lookup::Clock::now() + 1s).value();
}

TEST(BulkLookup, GivesEveryOutcomeOnce) {
    ScriptedDnsServer server(answerTruthfully, answerOverTcp);
    CollectingIo io({"mx.example", "null.example", "nomx.example", "nx.example", "fail.example",
                     "cut.example", "big.example", "silent.example", "bad..example"});
    BulkLookup lookup(addressOf(server), quick(200ms, 2));
    ASSERT_TRUE(lookup.run(io));
    const auto found = io.byDomain();
    ASSERT_EQ(found.size(), 9u);

    const auto& mx = found.at("mx.example").result;
    EXPECT_EQ(mx.outcome, Outcome::exchangers);
    ASSERT_EQ(mx.exchangers.size(), 2u);
    EXPECT_EQ(mx.exchangers[0].name, "a.mx.example");
    EXPECT_EQ(mx.query, "mx.example");
    EXPECT_EQ(mx.wire.server, server.setting());
    EXPECT_EQ(mx.wire.tries, 1);
    EXPECT_EQ(found.at("null.example").result.outcome, Outcome::nullMx);
    EXPECT_EQ(found.at("nomx.example").result.outcome, Outcome::noMx);
    EXPECT_EQ(found.at("nx.example").result.outcome, Outcome::nxdomain);
    EXPECT_EQ(found.at("fail.example").result.outcome, Outcome::serverFailure);
    EXPECT_EQ(found.at("cut.example").result.outcome, Outcome::malformed);
    EXPECT_EQ(found.at("bad..example").result.outcome, Outcome::invalidDomain);

    const auto& big = found.at("big.example").result;
    EXPECT_EQ(big.outcome, Outcome::exchangers);
    EXPECT_EQ(big.wire.transport, lookup::Transport::tcp);
    ASSERT_EQ(big.exchangers.size(), 1u);
    EXPECT_EQ(big.exchangers[0].name, "tcp.big.example");

    const auto& silent = found.at("silent.example").result;
    EXPECT_EQ(silent.outcome, Outcome::noReply);
    EXPECT_EQ(silent.wire.tries, 2);
    ASSERT_TRUE(silent.fault.has_value());
    EXPECT_EQ(silent.fault->kind, lookup::Fault::Kind::noReply);
}

// Drops every tenth name's first query, answers another tenth only on the retry with the late
// first reply ahead of it, doubles a tenth, and puts forged replies before every answer.
class HostileServer {
  public:
    void operator()(const Bytes& message, Responder& out) {
        const auto query = readQuery(message);
        const auto number = std::stoul(query.name.substr(2));
        std::lock_guard lock(mutex_);
        const auto seen = seen_[query.name]++;
        if (number % 10 == 0 && seen == 0) {
            return;
        }
        if (number % 10 == 1) {
            if (seen == 0) {
                firstIds_[query.name] = query.id;
                return;
            }
            out.send(answerFor({firstIds_[query.name], query.name}));
        }
        const auto real = answerFor(query);
        auto wrongId = real;
        wrongId.at(1) ^= 0x5A;
        out.send(wrongId);
        out.send(answerFor({query.id, "mx0.forged.example"}));
        out.sendFromOtherPort(real);
        out.send(real);
        if (number % 10 == 2) {
            out.send(real);
        }
    }

  private:
    std::mutex mutex_;
    std::map<std::string, int> seen_;
    std::map<std::string, std::uint16_t> firstIds_;
};

TEST(BulkLookup, AHostileServerLosesNoDomainAndFoolsNone) {
    HostileServer hostile;
    ScriptedDnsServer server([&](const Bytes& message, Responder& out) { hostile(message, out); });
    const auto domains = numberedDomains(300);
    CollectingIo io(domains);
    BulkLookup lookup(addressOf(server), quick(300ms, 4));
    ASSERT_TRUE(lookup.run(io));
    EXPECT_EQ(io.reports.size(), domains.size());
    const auto found = io.byDomain();
    for (const auto& domain : domains) {
        const auto& result = found.at(domain).result;
        ASSERT_EQ(result.outcome, Outcome::exchangers) << domain;
        EXPECT_EQ(result.exchangers.at(0).name, "a." + domain);
    }
    EXPECT_GT(found.at("mx10.example").result.wire.tries, 1);
    EXPECT_GT(found.at("mx20.example").result.wire.dropped, 0u);
}

TEST(BulkLookup, AServerThatFallsSilentEndsTheRestAsTimeouts) {
    std::mutex mutex;
    std::set<std::string> answered;
    ScriptedDnsServer server([&](const Bytes& message, Responder& out) {
        const auto query = readQuery(message);
        std::lock_guard lock(mutex);
        if (answered.size() < 50 || answered.contains(query.name)) {
            answered.insert(query.name);
            out.send(answerFor(query));
        }
    });
    const auto domains = numberedDomains(120);
    CollectingIo io(domains);
    BulkLookup lookup(addressOf(server), quick(100ms, 2));
    ASSERT_TRUE(lookup.run(io));
    const auto found = io.byDomain();
    ASSERT_EQ(found.size(), domains.size());
    std::size_t timeouts = 0;
    for (const auto& [domain, report] : found) {
        if (report.result.outcome == Outcome::noReply) {
            EXPECT_EQ(report.result.wire.tries, 2) << domain;
            ++timeouts;
        } else {
            EXPECT_EQ(report.result.outcome, Outcome::exchangers) << domain;
        }
    }
    EXPECT_EQ(timeouts, domains.size() - answered.size());
    EXPECT_GE(timeouts, 70u);
}

const Bytes kLoopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};

// An MX answer whose exchangers each lead to another address status.
void answerWithExchangers(const Bytes& message, Responder& out) {
    const auto query = readQuery(message);
    const auto type = query.type;
    if (type == lookup::kTypeMx) {
        ReplyBuilder reply(query.name, query.id);
        for (const char* host : {"ok", "alias", "nx", "none", "silent", "fail", "given"}) {
            reply.mx(10, name(std::string(host) + ".example"));
        }
        reply.mx(20, name("192.0.2.9")).additional(name("given.example"), 1, {192, 0, 2, 3});
        out.send(reply.bytes());
        return;
    }
    ReplyBuilder reply(query.name, query.id, type);
    const bool ipv4 = type == lookup::kTypeA;
    if (query.name == "ok.example" && ipv4) {
        reply.answer(name(query.name), type, {192, 0, 2, 1});
    } else if (query.name == "alias.example") {
        reply.answer(name(query.name), lookup::kTypeCname, name("host.example"));
        if (!ipv4) {
            reply.answer(name("host.example"), type, kLoopback6);
        }
    }
    const auto host = query.name.substr(0, query.name.find('.'));
    if (host == "silent") {
        return;
    }
    out.send(host == "nx"     ? withResponseCode(reply.bytes(), 3)
             : host == "fail" ? withResponseCode(reply.bytes(), 2)
                              : reply.bytes());
}

TEST(BulkLookup, ResolvesEachExchangerOnceItsDomainIsAnswered) {
    using lookup::AddressStatus;
    ScriptedDnsServer server(answerWithExchangers);
    CollectingIo io({"one.example", "two.example"});
    auto settings = quick(200ms, 2);
    settings.addresses = true;
    BulkLookup lookup(addressOf(server), settings);
    ASSERT_TRUE(lookup.run(io));
    const auto found = io.byDomain();
    ASSERT_EQ(found.size(), 2u);

    const auto& report = found.at("one.example");
    const auto& exchangers = report.result.exchangers;
    ASSERT_EQ(exchangers.size(), 8u);
    EXPECT_EQ(
        report.addressStatus,
        (std::vector{AddressStatus::found, AddressStatus::foundViaAlias, AddressStatus::nxdomain,
                     AddressStatus::noAddress, AddressStatus::noReply, AddressStatus::serverFailure,
                     AddressStatus::found, AddressStatus::addressLiteral}));
    EXPECT_EQ(exchangers[0].ipv4, std::vector<std::string>{"192.0.2.1"});
    EXPECT_TRUE(exchangers[0].ipv6.empty());
    EXPECT_EQ(exchangers[1].ipv6, std::vector<std::string>{"::1"});
    EXPECT_EQ(exchangers[6].ipv4, std::vector<std::string>{"192.0.2.3"});
    EXPECT_EQ(report.result.outcome, Outcome::exchangers);

    EXPECT_EQ(found.at("two.example").addressStatus, report.addressStatus);

    // Two MX queries and A and AAAA for the six exchangers without addresses (none for the one
    // the additional section covers, none for the address literal), and a second try for the
    // silent one's two: the second domain names the same exchangers and asks none of them
    // again, from the cache or by joining what is in flight (the silent one's, surely).
    EXPECT_EQ(server.tries(), 2u + 2 * 6 + 2);
    EXPECT_EQ(lookup.progress().addressLookups, 12u);
    EXPECT_EQ(lookup.progress().addressLookupsSaved, 12u);
}

// The queries the pool's summary line counts for a server.
std::size_t queriesSaid(const std::string& summary, const std::string& server) {
    const auto line = summary.find("server " + server + ": ");
    return line == std::string::npos ? 0 : std::stoul(summary.substr(line + server.size() + 9));
}

// Half the list fails on every server (a resolver's SERVFAIL for broken delegations): those
// failures are the domains', so neither server is set aside.
TEST(BulkLookup, DomainsThatFailEverywhereSetNoServerAside) {
    const auto failBroken = [](const Bytes& message, Responder& out) {
        const auto query = readQuery(message);
        if (!query.name.starts_with("broken")) {
            answerTruthfully(message, out);
            return;
        }
        out.send(testing::withResponseCode(ReplyBuilder(query.name, query.id).bytes(), 2));
    };
    ScriptedDnsServer first(failBroken);
    ScriptedDnsServer second(failBroken);
    std::vector<std::string> domains;
    for (int i = 0; i < 40; ++i) {
        domains.push_back(std::string(i % 2 == 0 ? "mx" : "broken") + std::to_string(i) +
                          ".example");
    }
    CollectingIo io(domains);
    BulkLookup lookup({addressOf(first), addressOf(second)}, quick(300ms, 3));
    ASSERT_TRUE(lookup.run(io));
    const auto found = io.byDomain();
    ASSERT_EQ(found.size(), domains.size());
    for (const auto& [domain, report] : found) {
        EXPECT_EQ(report.result.outcome,
                  domain.starts_with("broken") ? Outcome::serverFailure : Outcome::exchangers)
            << domain;
    }
    const auto summary = lookup.serverSummary();
    EXPECT_EQ(summary.find("set aside"), std::string::npos) << summary;
}

// One server silent, one answering SERVFAIL (but NXDOMAIN for nx names), one right.
TEST(BulkLookup, SeveralServersAnswerEveryDomainFromTheOneThatCan) {
    ScriptedDnsServer silent([](const Bytes&, Responder&) {});
    ScriptedDnsServer failing([](const Bytes& message, Responder& out) {
        const auto query = readQuery(message);
        auto reply = ReplyBuilder(query.name, query.id).bytes();
        out.send(testing::withResponseCode(reply, query.name.starts_with("nx") ? 3 : 2));
    });
    ScriptedDnsServer right(answerTruthfully);
    auto domains = numberedDomains(40);
    for (int i = 0; i < 10; ++i) {
        domains.push_back("nx" + std::to_string(i) + ".example");
    }
    CollectingIo io(domains);
    BulkLookup lookup({addressOf(silent), addressOf(failing), addressOf(right)}, quick(300ms, 3));
    ASSERT_TRUE(lookup.run(io));
    const auto found = io.byDomain();
    ASSERT_EQ(found.size(), domains.size());
    const auto askedAt = [](const ScriptedDnsServer& server) {
        std::multiset<std::string> names;
        for (const auto& query : server.queries()) {
            names.insert(readQuery(query.message).name);
        }
        return names;
    };
    const auto atFailing = askedAt(failing);
    const auto atRight = askedAt(right);
    for (const auto& [domain, report] : found) {
        const auto& result = report.result;
        EXPECT_LE(result.wire.tries, 3) << domain;
        if (domain.starts_with("nx")) {
            // An answer is final: the server that did not give it never heard the name.
            EXPECT_EQ(result.outcome, Outcome::nxdomain) << domain;
            const bool fromFailing = result.wire.server == failing.setting();
            EXPECT_EQ((fromFailing ? atRight : atFailing).count(domain), 0u) << domain;
            EXPECT_EQ((fromFailing ? atFailing : atRight).count(domain), 1u) << domain;
        } else {
            EXPECT_EQ(result.outcome, Outcome::exchangers) << domain;
            EXPECT_EQ(result.wire.server, right.setting()) << domain;
        }
    }
    EXPECT_EQ(lookup.progress().sent, lookup.progress().retries + domains.size());
    const auto summary = lookup.serverSummary();
    for (const auto* server : {&silent, &failing, &right}) {
        EXPECT_EQ(queriesSaid(summary, server->setting()), server->udpQueryCount()) << summary;
    }
}

// Silent for its first eleven queries: ten tries that set it aside and a first probe. One
// query in flight at a time, so its tries end in the order they went out.
TEST(BulkLookup, AServerThatAnswersAgainIsTakenBack) {
    std::atomic<int> heard{0};
    ScriptedDnsServer flaky([&](const Bytes& message, Responder& out) {
        if (++heard > 11) {
            answerTruthfully(message, out);
        }
    });
    ScriptedDnsServer right(answerTruthfully);
    CollectingIo io(numberedDomains(400));
    auto settings = quick(50ms, 2);
    settings.maxInFlight = 1;
    settings.rate = 200;  // two seconds of domains, so some come after the server is back
    BulkLookup lookup({addressOf(flaky), addressOf(right)}, settings);
    ASSERT_TRUE(lookup.run(io));
    std::size_t fromFlaky = 0;
    for (const auto& [domain, report] : io.byDomain()) {
        EXPECT_EQ(report.result.outcome, Outcome::exchangers) << domain;
        fromFlaky += report.result.wire.server == flaky.setting() ? 1u : 0u;
    }
    const auto summary = lookup.serverSummary();
    EXPECT_NE(summary.find("set aside 1 time for"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("(still)"), std::string::npos) << summary;
    EXPECT_GT(fromFlaky, 0u) << summary;
    EXPECT_EQ(queriesSaid(summary, flaky.setting()), flaky.udpQueryCount()) << summary;
}

}  // namespace
}  // namespace ombrix::tools
