#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_lookup.h"
#include "query_id.h"
#include "ombrix/lookup/query_message.h"
#include "testing/edns_refusal.h"
#include "testing/mx_answer.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
// The scripted server, the reply builder and the replies they share.
using namespace testing;

// For exchanges that succeed: long enough that a loaded machine never forces a resend.
constexpr LookupOptions kPatient{1000ms, 2};
// For exchanges that must run out: short, since every try is waited out.
constexpr LookupOptions kHasty{100ms, 2};

// The reply to another query: our name, but an ID one off.
Bytes withOtherId(const Bytes& query) {
    auto reply = mxReply(query, {{10, "forged.example.com"}});
    reply.at(1) ^= 0x01;
    return reply;
}

ScriptedDnsServer::Script truncatedOverUdp() {
    return [](const Bytes& query, Responder& out) {
        out.send(truncated(mxReply(query, {{10, "partial.example.com"}})));
    };
}

const ScriptedDnsServer::Script kSilent = [](const Bytes&, Responder&) {};

std::vector<std::string> names(const MxResult& result) {
    std::vector<std::string> out;
    for (const auto& exchanger : result.exchangers) {
        out.push_back(exchanger.name);
    }
    return out;
}

std::string faultOf(const MxResult& result) {
    return result.fault ? result.fault->description : "(no fault)";
}

// The fault of a lookup that found no reply, checked to say what happened.
void expectNoReply(const MxResult& result, const std::string& saying) {
    EXPECT_EQ(result.outcome, Outcome::noReply);
    ASSERT_TRUE(result.fault.has_value());
    EXPECT_EQ(result.fault->kind, Fault::Kind::noReply) << faultOf(result);
    EXPECT_NE(result.fault->description.find(saying), std::string::npos) << faultOf(result);
}

TEST(MxExchange, AnsweredOverUdpReportsTheWire) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        out.send(withOtherId(query));
        out.send(ReplyBuilder("example.com", idOf(query))
                     .mx(20, name("a.example.com"))
                     .mx(10, name("b.example.com"))
                     .bytes());
    });
    const auto result = lookupMx(server.setting(), "Example.com", kPatient);
    ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
    EXPECT_EQ(names(result), (std::vector<std::string>{"b.example.com", "a.example.com"}));
    EXPECT_EQ(result.query, "Example.com");
    EXPECT_EQ(result.wire.server, server.setting());
    EXPECT_EQ(result.wire.transport, Transport::udp);
    EXPECT_FALSE(result.wire.truncated);
    EXPECT_EQ(result.wire.tries, 1);
    EXPECT_EQ(result.wire.dropped, 1u);
    EXPECT_GT(result.wire.replyOctets, 12u);

    // On the wire: the message for the name with a random ID, once, over UDP.
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].message,
              buildMxQuery(idOf(queries[0].message), encodeDomain("Example.com").value()));
}

TEST(MxExchange, RefusedDomainSendsNothing) {
    ScriptedDnsServer server(answering({{10, "mx.example.com"}}));
    for (const std::string& domain :
         {std::string(64, 'a') + ".com", std::string("exa\0mple.com", 12), std::string()}) {
        const auto result = lookupMx(server.setting(), domain, kPatient);
        EXPECT_EQ(result.outcome, Outcome::invalidDomain);
        EXPECT_EQ(result.fault->kind, Fault::Kind::invalidDomain);
    }
    EXPECT_EQ(server.tries(), 0u);
}

TEST(MxExchange, UnansweredQueryIsSentOncePerTryThenFails) {
    ScriptedDnsServer server(kSilent);
    const auto result = lookupMx(server.setting(), "example.com", LookupOptions{50ms, 3});
    expectNoReply(result, "no reply (UDP, 3 tries");
    EXPECT_EQ(result.wire.tries, 3);
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries[1].message, queries[0].message);
    EXPECT_EQ(queries[2].message, queries[0].message);
}

TEST(MxExchange, ReplyToTheFirstSendIsTakenDuringTheResend) {
    // The first try goes unanswered; the second brings the reply to the first.
    ScriptedDnsServer server([first = Bytes()](const Bytes& query, Responder& out) mutable {
        if (first.empty()) {
            first = query;
        } else {
            out.send(mxReply(first, {{10, "late.example.com"}}));
        }
    });
    // Long tries, so that a loaded machine still serves the second before it runs out.
    const auto result = lookupMx(server.setting(), "example.com", LookupOptions{1000ms, 3});
    ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
    EXPECT_EQ(names(result), std::vector<std::string>{"late.example.com"});
    EXPECT_GE(result.wire.tries, 2);
}

TEST(MxExchange, RefusedPortEndsTheTriesAtOnce) {
    const auto result = lookupMx("127.0.0.1:" + std::to_string(testing::closedUdpPort()),
                                 "example.com", LookupOptions{1000ms, 3});
    expectNoReply(result, "the server refused the query");
    EXPECT_EQ(result.wire.tries, 1);
}

// A datagram that is not the reply to our query. Which fields must match is the reply
// matcher's own test; here each kind must be dropped while the wait goes on.
struct Impostor {
    const char* fault;
    Bytes (*make)(const Bytes& query);
    bool fromOtherPort = false;
};

Bytes forgedReply(const Bytes& query) {
    return mxReply(query, {{10, "forged.example.com"}});
}

const Impostor kImpostors[] = {
    {"WrongId", withOtherId},
    {"OtherName",
     [](const Bytes& query) {
         return ReplyBuilder("example.org", idOf(query)).mx(1, name("forged.example.org")).bytes();
     }},
    {"Empty", [](const Bytes&) { return Bytes{}; }},
    {"FromAnotherPort", forgedReply, true},
    // A truncation notice without the question, but for another query.
    {"BareTruncationWithOtherId",
     [](const Bytes& query) {
         Bytes header(query.begin(), query.begin() + 12);
         header.at(1) ^= 0x01;  // ID: one off ours
         header.at(2) = 0x83;   // response, opcode 0, truncated, recursion desired
         header.at(5) = 0;      // no question
         return header;
     }},
};

class ImpostorDatagram : public ::testing::TestWithParam<Impostor> {};

TEST_P(ImpostorDatagram, IsDroppedAndTheGenuineReplyTaken) {
    const Impostor impostor = GetParam();
    ScriptedDnsServer server([impostor](const Bytes& query, Responder& out) {
        if (impostor.fromOtherPort) {
            out.sendFromOtherPort(impostor.make(query));
        } else {
            out.send(impostor.make(query));
        }
        out.send(mxReply(query, {{10, "genuine.example.com"}}));
    });
    const auto result = lookupMx(server.setting(), "example.com", kPatient);
    ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
    EXPECT_EQ(names(result), std::vector<std::string>{"genuine.example.com"});
    EXPECT_EQ(server.tries(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Forgeries, ImpostorDatagram, ::testing::ValuesIn(kImpostors),
                         [](const auto& param) { return std::string(param.param.fault); });

TEST(MxExchange, DroppedDatagramsDoNotExtendTheWait) {
    // Impostors keep coming for far longer than the lookup may take; the lookup must give up
    // while they still do.
    std::atomic<bool> lookupOver = false;
    std::atomic<bool> stillSending = true;
    ScriptedDnsServer server([&](const Bytes& query, Responder& out) {
        for (int i = 0; i < 400 && !lookupOver; ++i) {
            out.send(withOtherId(query));
            std::this_thread::sleep_for(10ms);
        }
        stillSending = lookupOver.load();
    });
    const auto result = lookupMx(server.setting(), "example.com", LookupOptions{100ms, 1});
    lookupOver = true;
    expectNoReply(result, "no reply");
    EXPECT_GE(result.wire.dropped, 1u);
    EXPECT_TRUE(stillSending);
}

TEST(MxExchange, TruncatedReplyIsAskedAgainOverTcp) {
    ScriptedDnsServer server(truncatedOverUdp(), [](const Bytes& query, Responder& out) {
        out.send(withOtherId(query));
        out.send(mxReply(
            query, {{10, "mx1.example.com"}, {20, "mx2.example.com"}, {30, "mx3.example.com"}}));
    });
    const auto result = lookupMx(server.setting(), "example.com", kPatient);
    ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
    EXPECT_EQ(result.exchangers.size(), 3u);
    EXPECT_EQ(result.wire.transport, Transport::tcp);
    EXPECT_TRUE(result.wire.truncated);
    EXPECT_EQ(result.wire.tries, 2);
    EXPECT_EQ(result.wire.dropped, 1u);
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_TRUE(queries[1].overTcp);
    EXPECT_EQ(queries[1].message, queries[0].message);
}

TEST(MxExchange, TruncationWithoutTheQuestionStillLeadsToTcp) {
    ScriptedDnsServer server(
        [](const Bytes& query, Responder& out) {
            Bytes header(query.begin(), query.begin() + 12);  // ID: ours
            header.at(2) = 0x83;  // response, opcode 0, truncated, recursion desired
            header.at(3) = 0x80;  // recursion available, NOERROR
            header.at(5) = 0;     // no question: some servers leave it out when truncating
            out.send(header);
        },
        answering({{10, "whole.example.com"}}));
    const auto result = lookupMx(server.setting(), "example.com", kPatient);
    ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
    EXPECT_EQ(names(result), std::vector<std::string>{"whole.example.com"});
    EXPECT_EQ(result.wire.transport, Transport::tcp);
}

TEST(MxExchange, EveryWholeDatagramIsTakenOverUdp) {
    // Up to the largest datagram IPv4 carries: nothing is cut on our side, so nothing is asked
    // again over TCP.
    for (const std::size_t size : {std::size_t{2049}, std::size_t{4000}, std::size_t{65507}}) {
        SCOPED_TRACE(size);
        ScriptedDnsServer server(
            [size](const Bytes& query, Responder& out) {
                ReplyBuilder reply("example.com", idOf(query));
                reply.mx(10, name("udp.example.com"));
                const std::size_t padding = size - reply.bytes().size() - 12;
                out.send(reply.additional(testing::pointerTo(12), 16, Bytes(padding, 'x')).bytes());
            },
            answering({{10, "tcp.example.com"}}));
        const auto result = lookupMx(server.setting(), "example.com", kPatient);
        ASSERT_EQ(result.outcome, Outcome::exchangers) << faultOf(result);
        EXPECT_EQ(result.exchangers.at(0).name, "udp.example.com");
        EXPECT_EQ(result.wire.replyOctets, size);
    }
}

struct TcpFault {
    const char* fault;
    ScriptedDnsServer::Script script;
    const char* saying;
};

class TcpWithoutAnswer : public ::testing::TestWithParam<TcpFault> {};

TEST_P(TcpWithoutAnswer, SaysWhatHappened) {
    ScriptedDnsServer server(truncatedOverUdp(), GetParam().script);
    const auto result = lookupMx(server.setting(), "example.com", kHasty);
    expectNoReply(result, std::string("over TCP, ") + GetParam().saying);
    EXPECT_GE(server.tcpQueryCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TcpWithoutAnswer,
    ::testing::Values(
        TcpFault{"ClosesUnanswered", nullptr, "the server closed the connection without replying"},
        TcpFault{"WrongIdThenCloses",
                 [](const Bytes& query, Responder& out) { out.send(withOtherId(query)); },
                 "the server closed the connection after 1 message that did not answer the query"},
        TcpFault{"CutInsideTheMessage",
                 [](const Bytes& query, Responder& out) {
                     auto reply = mxReply(query, {{10, "mx.example.com"}});
                     // A length nine bytes longer than the message that follows it.
                     reply.insert(reply.begin(), {0, static_cast<std::uint8_t>(reply.size() + 9)});
                     out.sendRaw(reply);
                 },
                 "the server closed the connection after 59 of the 68 bytes of the message"},
        TcpFault{"CutInsideTheLength",
                 [](const Bytes&, Responder& out) {
                     out.sendRaw(Bytes{0});  // the first of the two length bytes only
                 },
                 "the server closed the connection after 1 of the 2 bytes of a length prefix"},
        TcpFault{"Resets", [](const Bytes&, Responder& out) { out.reset(); },
                 "the server reset the connection"},
        TcpFault{"AnswersTooLate",
                 [](const Bytes& query, Responder& out) {
                     std::this_thread::sleep_for(kHasty.timeout * 3);
                     out.send(mxReply(query, {{10, "late.example.com"}}));
                 },
                 "timed out waiting for the reply"}),
    [](const auto& param) { return std::string(param.param.fault); });

TEST(MxExchange, RefusedTcpEndsTheTriesAtOnce) {
    ScriptedDnsServer server(truncatedOverUdp(), nullptr, ScriptedDnsServer::Tcp::refusing);
    const auto result = lookupMx(server.setting(), "example.com", kPatient);
    expectNoReply(result, "over TCP, the server refused the connection");
    EXPECT_EQ(result.wire.tries, 2);
}

TEST(MxExchange, TcpFallbackGetsOnlyWhatIsLeftOfTheBudget) {
    // Two UDP tries go unanswered and the third is truncated: of three tries' time, the TCP
    // fallback has one try's worth left, however silent the TCP server is.
    ScriptedDnsServer server(
        [asked = 0](const Bytes& query, Responder& out) mutable {
            if (++asked == 3) {
                out.send(truncated(mxReply(query, {})));
            }
        },
        [](const Bytes&, Responder&) { std::this_thread::sleep_for(700ms); });
    const auto result = lookupMx(server.setting(), "example.com", LookupOptions{200ms, 3});
    expectNoReply(result, "within the lookup's 600 ms");
    EXPECT_LE(server.tcpQueryCount(), 1u);
}

TEST(MxExchange, ServerFailureNamesTheCode) {
    const std::pair<std::uint8_t, const char*> codes[] = {
        {2, "SERVFAIL"}, {5, "REFUSED"}, {11, "response code 11"}};
    for (const auto& [code, named] : codes) {
        const std::uint8_t rcode = code;
        ScriptedDnsServer server([rcode](const Bytes& query, Responder& out) {
            out.send(withResponseCode(mxReply(query, {{10, "mx.example.com"}}), rcode));
        });
        const auto result = lookupMx(server.setting(), "example.com", kPatient);
        EXPECT_EQ(result.outcome, Outcome::serverFailure);
        EXPECT_EQ(result.rcode, rcode);
        EXPECT_EQ(faultOf(result), std::string("DNS server answered ") + named);
        EXPECT_TRUE(result.exchangers.empty());
    }
}

TEST(MxExchange, EachLookupUsesItsOwnSocketAndAFreshId) {
    // The first query is answered twice; the duplicate must not be taken by the next lookup.
    ScriptedDnsServer server([asked = 0](const Bytes& query, Responder& out) mutable {
        if (asked++ == 0) {
            out.send(mxReply(query, {{10, "first.example.com"}}));
            out.send(mxReply(query, {{10, "duplicate.example.com"}}));
        } else {
            out.send(mxReply(query, {{10, "second.example.com"}}));
        }
    });
    EXPECT_EQ(names(lookupMx(server.setting(), "example.com", kPatient)),
              std::vector<std::string>{"first.example.com"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(names(lookupMx(server.setting(), "example.com", kPatient)),
                  std::vector<std::string>{"second.example.com"});
    }
    std::set<std::uint16_t> ids;
    for (const auto& query : server.queries()) {
        ids.insert(idOf(query.message));
    }
    EXPECT_GT(ids.size(), 1u);
}

// A thread's lookups share the engine that serves them, but nothing of one lookup's exchange:
// each asks from a socket of its own, on a fresh source port, and what the last one learnt of
// the server (here, that it refuses EDNS) is learnt again.
TEST(MxExchange, ConsecutiveLookupsShareNoSocketAndNoServerMemory) {
    ScriptedDnsServer server(refusingEdns(1, answering({{10, "mx.example.com"}})));
    constexpr int kLookups = 4;
    for (int i = 0; i < kLookups; ++i) {
        const auto result = lookupMx(server.setting(), "example.com", kPatient);
        EXPECT_EQ(names(result), std::vector<std::string>{"mx.example.com"});
        EXPECT_EQ(result.wire.tries, 2) << "lookup " << i;
    }
    std::set<std::uint16_t> ports;
    for (const auto& query : server.queries()) {
        ports.insert(query.sourcePort);
    }
    // Two tries of a lookup go from its one socket; another lookup's port might come up again
    // by chance only rarely, and never for all of them.
    EXPECT_GT(ports.size(), 1u);
    EXPECT_EQ(server.queries().size(), 2u * kLookups);
}

// The next eight query IDs this process draws.
std::vector<std::uint16_t> nextIds() {
    std::vector<std::uint16_t> ids;
    for (int i = 0; i < 8; ++i) {
        ids.push_back(randomQueryId().value());
    }
    return ids;
}

TEST(QueryId, ForkedChildNeverRepeatsItsParentsIds) {
    // IDs drawn in batches must not be shared across a fork: parent and child would send the
    // same sequence, and a forger who saw one would know the other.
    ASSERT_TRUE(randomQueryId());
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto ids = nextIds();
        const auto bytes = static_cast<ssize_t>(ids.size() * sizeof ids[0]);
        ::_exit(::write(pipeEnds[1], ids.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::vector<std::uint16_t> childIds(8);
    const auto expected = static_cast<ssize_t>(childIds.size() * sizeof childIds[0]);
    EXPECT_EQ(::read(pipeEnds[0], childIds.data(), static_cast<std::size_t>(expected)), expected);
    ::close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(childIds, nextIds());
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
    return count;
}

TEST(MxExchange, EveryWayOutClosesItsSockets) {
    const auto before = openDescriptors();
    {
        ScriptedDnsServer answered(answering({{10, "mx.example.com"}}));
        ScriptedDnsServer silent(kSilent);
        ScriptedDnsServer truncated(truncatedOverUdp(), answering({{10, "mx.example.com"}}));
        ScriptedDnsServer failing([](const Bytes& query, Responder& out) {
            out.send(withResponseCode(mxReply(query, {}), 2));
        });
        const std::string refused = "127.0.0.1:" + std::to_string(testing::closedUdpPort());
        for (const auto& setting : {answered.setting(), silent.setting(), truncated.setting(),
                                    failing.setting(), refused, std::string("[fe80::1]")}) {
            lookupMx(setting, "example.com", LookupOptions{50ms, 2});
        }
    }
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace ombrix::lookup
