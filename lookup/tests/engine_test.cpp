#include "ombrix/lookup/lookup_engine.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <system_error>

#include "ombrix/lookup/query_message.h"
#include "testing/edns_refusal.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr std::uint8_t kAuthenticDataBit = 0x20;
constexpr std::uint16_t kTypeTxt = 16;

std::string askedName(const Bytes& query) {
    return readQuery(query).name;
}

// The number in "h17.example".
int numberOf(const std::string& domain) {
    return std::stoi(domain.substr(1, domain.find('.') - 1));
}

Bytes answerFor(const Bytes& query) {
    const auto asked = askedName(query);
    return ReplyBuilder(asked, idOf(query)).mx(10, name("mx." + asked)).bytes();
}

LookupRequest requestFor(const std::string& server, std::string domain,
                         std::chrono::milliseconds timeout, int tries) {
    LookupRequest request;
    request.server = server;
    request.domain = std::move(domain);
    request.timeout = timeout;
    request.tries = tries;
    return request;
}

// Every result the engine delivered, by domain, however often it came.
struct Deliveries {
    std::map<std::string, std::vector<MxResult>> byDomain;

    std::function<void(MxResult&&)> into(const std::string& domain) {
        return [this, domain](MxResult&& result) { byDomain[domain].push_back(std::move(result)); };
    }
    void expectEachOnce(const std::vector<std::string>& domains) const {
        EXPECT_EQ(byDomain.size(), domains.size());
        for (const auto& domain : domains) {
            const auto found = byDomain.find(domain);
            ASSERT_NE(found, byDomain.end()) << domain;
            EXPECT_EQ(found->second.size(), 1u) << domain;
        }
    }
};

std::vector<std::string> numbered(int count) {
    std::vector<std::string> domains;
    for (int i = 0; i < count; ++i) {
        domains.push_back("h" + std::to_string(i) + ".example");
    }
    return domains;
}

// Drops the first query of some names, answers others after a forgery or a reply for another
// name under the same ID, or twice, or only when asked again.
class HostileServer {
  public:
    void operator()(const Bytes& query, Responder& out) {
        const auto asked = askedName(query);
        const bool again = !seen_.insert(asked).second;
        switch (numberOf(asked) % 5) {
            case 0:
                if (again) {
                    out.send(answerFor(query));
                }
                return;
            case 1: {
                auto forged = answerFor(query);
                forged.at(1) ^= 0x01;
                out.send(forged);
                out.send(ReplyBuilder("other.example", idOf(query)).mx(1, name("x.example")).bytes());
                out.send(answerFor(query));
                out.send(answerFor(query));
                return;
            }
            case 2:
                out.sendFromOtherPort(answerFor(query));
                out.send(answerFor(query));
                return;
            default:
                out.send(answerFor(query));
        }
    }

  private:
    std::set<std::string> seen_;
};

TEST(LookupEngine, ManyLookupsAreEachAnsweredOnceWhateverTheServerSends) {
    HostileServer hostile;
    ScriptedDnsServer server([&](const Bytes& query, Responder& out) { hostile(query, out); });
    LookupEngine engine(EngineSettings{40, true, 3});
    Deliveries got;
    const auto domains = numbered(200);
    for (const auto& domain : domains) {
        engine.submitMx(requestFor(server.setting(), domain, 300ms, 4), got.into(domain));
    }
    engine.run();
    got.expectEachOnce(domains);
    for (const auto& [domain, results] : got.byDomain) {
        const auto& result = results.front();
        ASSERT_EQ(result.outcome, Outcome::exchangers) << domain << ": "
                                                       << result.fault.value_or(Fault{}).description;
        EXPECT_EQ(result.exchangers.at(0).name, "mx." + domain);
        const int kind = numberOf(domain) % 5;
        if (kind == 0) {
            EXPECT_GE(result.wire.tries, 2) << domain;
        }
        if (kind == 1) {
            EXPECT_GE(result.wire.dropped, 1u) << domain;
        }
    }
    EXPECT_EQ(engine.pending(), 0u);
}

TEST(LookupEngine, ACancelledLookupNeverCallsBack) {
    ScriptedDnsServer server([](const Bytes&, Responder&) {});
    LookupEngine engine;
    Deliveries got;
    const auto domains = numbered(12);
    std::vector<LookupId> ids;
    for (const auto& domain : domains) {
        ids.push_back(engine.submitMx(requestFor(server.setting(), domain, 50ms, 1),
                                      got.into(domain)));
    }
    // Before anything went out, and once the queries are on the wire.
    EXPECT_TRUE(engine.cancel(ids[0]));
    engine.process();
    EXPECT_TRUE(engine.cancel(ids[1]));
    // A callback that cancels a lookup whose result waits in the same batch.
    engine.submitMx(requestFor(server.setting(), "bad..example", 50ms, 1),
                    [&](MxResult&&) { engine.cancel(ids[2]); });
    engine.run();
    EXPECT_FALSE(engine.cancel(ids[3]));
    EXPECT_FALSE(engine.cancel(kNoLookup));
    for (std::size_t i = 0; i < domains.size(); ++i) {
        EXPECT_EQ(got.byDomain.count(domains[i]), i < 3 ? 0u : 1u) << domains[i];
    }
    EXPECT_EQ(engine.pending(), 0u);
}

TEST(LookupEngine, TruncatedRepliesGoOverTcpInsideTheLoop) {
    ScriptedDnsServer server(
        [](const Bytes& query, Responder& out) { out.send(truncated(answerFor(query))); },
        [](const Bytes& query, Responder& out) {
            const auto asked = askedName(query);
            out.send(ReplyBuilder(asked, idOf(query)).mx(5, name("tcp." + asked)).bytes());
        });
    LookupEngine engine;
    Deliveries got;
    const auto domains = numbered(30);
    for (const auto& domain : domains) {
        engine.submitMx(requestFor(server.setting(), domain, 2000ms, 2), got.into(domain));
    }
    engine.run();
    got.expectEachOnce(domains);
    for (const auto& [domain, results] : got.byDomain) {
        const auto& result = results.front();
        ASSERT_EQ(result.outcome, Outcome::exchangers) << domain;
        EXPECT_EQ(result.exchangers.at(0).name, "tcp." + domain);
        EXPECT_EQ(result.wire.transport, Transport::tcp);
        // One UDP try and one TCP try, as the server saw them.
        EXPECT_EQ(result.wire.tries, 2);
    }
    EXPECT_EQ(server.udpQueryCount(), domains.size());
    EXPECT_EQ(server.tcpQueryCount(), domains.size());
}

TEST(LookupEngine, RefusalsEndTheLookupsAtOnceSayingWhy) {
    ScriptedDnsServer refusingTcp(
        [](const Bytes& query, Responder& out) { out.send(truncated(answerFor(query))); }, nullptr,
        ScriptedDnsServer::Tcp::refusing);
    const std::string closed = "127.0.0.1:" + std::to_string(closedUdpPort());
    LookupEngine engine;
    Deliveries got;
    const auto domains = numbered(10);
    for (const auto& domain : domains) {
        const bool overUdp = numberOf(domain) % 2 == 0;
        engine.submitMx(requestFor(overUdp ? closed : refusingTcp.setting(), domain, 2000ms, 3),
                        got.into(domain));
    }
    engine.run();
    got.expectEachOnce(domains);
    for (const auto& [domain, results] : got.byDomain) {
        const auto& result = results.front();
        ASSERT_EQ(result.outcome, Outcome::noReply);
        if (numberOf(domain) % 2 == 0) {
            EXPECT_EQ(result.fault->description,
                      "the server refused the query (port unreachable)");
            EXPECT_EQ(result.wire.tries, 1);
        } else {
            EXPECT_EQ(result.fault->description,
                      "over TCP, the server refused the connection");
            EXPECT_EQ(result.wire.tries, 2);
        }
    }
}

TEST(LookupEngine, RecordLookupsGiveTheValidatedReplyWithItsFlags) {
    Bytes sent;
    ScriptedDnsServer server([&](const Bytes& query, Responder& out) {
        sent = ReplyBuilder(askedName(query), idOf(query), kTypeTxt)
                   .answer(name(askedName(query)), kTypeTxt, {3, 'a', 'b', 'c'})
                   .bytes();
        // The AD bit only where the query asked for checking to be left to us.
        if (readQuery(query).checkingDisabled) {
            sent.at(3) |= kAuthenticDataBit;
        }
        out.send(sent);
    });
    LookupEngine engine;
    std::vector<RecordAnswer> answers;
    for (const bool checkingDisabled : {false, true}) {
        auto request = requestFor(server.setting(), "txt.example", 1000ms, 2);
        request.checkingDisabled = checkingDisabled;
        engine.submitRecord(request, kTypeTxt,
                            [&](RecordAnswer&& answer) { answers.push_back(std::move(answer)); });
        engine.run();
    }
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[0].authenticData);
    EXPECT_TRUE(answers[1].authenticData);
    EXPECT_EQ(answers[1].rcode, 0);
    EXPECT_EQ(answers[1].reply, sent);
    EXPECT_FALSE(answers[1].fault.has_value());
}

TEST(LookupEngine, AServerThatRefusesEdnsIsAskedWithoutItFromThenOn) {
    for (const std::uint8_t refusal : {std::uint8_t{1}, std::uint8_t{4}}) {
        SCOPED_TRACE(refusal);
        ScriptedDnsServer server(refusingEdns(
            refusal, [](const Bytes& query, Responder& out) { out.send(answerFor(query)); }));
        LookupEngine engine;
        Deliveries got;
        for (const auto& domain : numbered(2)) {
            engine.submitMx(requestFor(server.setting(), domain, 1000ms, 2), got.into(domain));
            engine.run();
        }
        const auto& first = got.byDomain.at("h0.example").at(0);
        const auto& second = got.byDomain.at("h1.example").at(0);
        EXPECT_EQ(first.outcome, Outcome::exchangers);
        EXPECT_EQ(second.outcome, Outcome::exchangers);
        EXPECT_FALSE(first.wire.edns);
        EXPECT_EQ(first.wire.tries, 2);
        // Remembered: the next lookup goes without the OPT record at once.
        EXPECT_EQ(second.wire.tries, 1);
        const auto queries = server.queries();
        ASSERT_EQ(queries.size(), 3u);
        EXPECT_TRUE(readQuery(queries[0].message).edns);
        EXPECT_FALSE(readQuery(queries[1].message).edns);
        EXPECT_FALSE(readQuery(queries[2].message).edns);
    }
    ScriptedDnsServer modern([](const Bytes& query, Responder& out) { out.send(answerFor(query)); });
    LookupEngine engine;
    auto request = requestFor(modern.setting(), "h0.example", 1000ms, 2);
    request.dnssecOk = true;
    MxResult result;
    engine.submitMx(request, [&](MxResult&& done) { result = std::move(done); });
    engine.run();
    EXPECT_TRUE(result.wire.edns);
    EXPECT_TRUE(readQuery(modern.queries().at(0).message).dnssecOk);
}

// A long list of servers is looked up another way than a few: what the engine learnt of one
// server (here, that it refuses EDNS) must still be found under its setting.
TEST(LookupEngine, AServerAmongManyIsKnownAgainByItsSetting) {
    const auto answering = [](const Bytes& query, Responder& out) { out.send(answerFor(query)); };
    constexpr std::size_t kServers = 12;
    constexpr std::size_t kRefusing = 10;
    std::vector<std::unique_ptr<ScriptedDnsServer>> servers;
    for (std::size_t i = 0; i < kServers; ++i) {
        servers.push_back(i == kRefusing
                              ? std::make_unique<ScriptedDnsServer>(refusingEdns(1, answering))
                              : std::make_unique<ScriptedDnsServer>(answering));
    }
    LookupEngine engine;
    Deliveries got;
    std::vector<std::string> domains;
    for (std::size_t round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < kServers; ++i) {
            const auto domain = "h" + std::to_string(round * kServers + i) + ".example";
            domains.push_back(domain);
            engine.submitMx(requestFor(servers[i]->setting(), domain, 1000ms, 2), got.into(domain));
        }
        engine.run();
    }
    got.expectEachOnce(domains);
    for (std::size_t i = 0; i < domains.size(); ++i) {
        const auto& result = got.byDomain.at(domains[i]).at(0);
        EXPECT_EQ(result.outcome, Outcome::exchangers) << domains[i];
        EXPECT_EQ(result.wire.server, servers[i % kServers]->setting()) << domains[i];
    }
    EXPECT_EQ(got.byDomain.at("h" + std::to_string(kRefusing) + ".example").at(0).wire.tries, 2);
    EXPECT_EQ(got.byDomain.at("h" + std::to_string(kServers + kRefusing) + ".example").at(0).wire.tries,
              1);
}

TEST(LookupEngine, RunsFromTheCallersOwnPollLoop) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        if (readQuery(query).type == kTypeA) {
            out.send(ReplyBuilder(askedName(query), idOf(query), kTypeA)
                         .answer(name(askedName(query)), kTypeA, {192, 0, 2, 7})
                         .bytes());
        } else {
            out.send(answerFor(query));
        }
    });
    LookupEngine engine;
    Deliveries got;
    std::vector<std::string> addresses;
    const auto domains = numbered(20);
    for (const auto& domain : domains) {
        engine.submitMx(requestFor(server.setting(), domain, 1000ms, 3), got.into(domain));
    }
    engine.submitAddress(requestFor(server.setting(), "host.example", 1000ms, 3), kTypeA,
                         [&](AddressAnswer&& answer) { addresses = answer.result.addresses; });
    for (int turn = 0; turn < 10000; ++turn) {
        const auto wait = engine.process();
        if (!wait) {
            break;
        }
        pollfd watched{engine.fd(), POLLIN, 0};
        ::poll(&watched, 1, static_cast<int>(wait->count()));
    }
    got.expectEachOnce(domains);
    EXPECT_EQ(addresses, std::vector<std::string>{"192.0.2.7"});
}

// In a child without a descriptor to spare, driven by run() or from a poll loop of its own:
// every lookup must end with a fault that names what ran out; the exit status says whether
// all did.
int lookupsWithoutDescriptors(bool ownLoop) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            ::_exit(3);
        }
        // The sanitizer build checks the error category's type the first time it is used, and
        // cannot without a descriptor: it meets it once while one is free.
        static_cast<void>(std::generic_category().message(EMFILE));
        for (int i = 0; i < 64 && ::dup(STDERR_FILENO) >= 0; ++i) {
        }
        LookupEngine engine;
        int ended = 0;
        for (const auto& domain : numbered(5)) {
            engine.submitMx(requestFor("127.0.0.1:9", domain, 100ms, 1), [&](MxResult&& result) {
                const bool said = result.outcome == Outcome::noReply && result.fault &&
                                  result.fault->description.find("Too many open files") !=
                                      std::string::npos;
                ended += said ? 1 : 0;
            });
        }
        if (ownLoop) {
            for (int turn = 0; turn < 100 && engine.process(); ++turn) {
            }
        } else {
            engine.run();
        }
        ::_exit(ended == 5 && engine.fd() < 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LookupEngine, RunningOutOfDescriptorsBecomesTheOutcome) {
    // No socket for run(); no epoll descriptor for a loop of the caller's.
    EXPECT_EQ(lookupsWithoutDescriptors(false), 0);
    EXPECT_EQ(lookupsWithoutDescriptors(true), 0);
}

}  // namespace
}  // namespace ombrix::lookup
