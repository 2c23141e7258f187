#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "lookup/tests/reply_builder.h"
#include "lookup/tests/scripted_dns_server.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/resolver.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::name;
using testing::ReplyBuilder;
using testing::Responder;
using testing::ScriptedDnsServer;
using Clock = std::chrono::steady_clock;

// For exchanges that succeed: long enough that a loaded machine never forces a resend.
constexpr QueryTiming kFast{1000ms, 2};

std::uint16_t idOf(const Bytes& query) {
    return static_cast<std::uint16_t>(query.at(0) << 8 | query.at(1));
}

// A reply to the query for example.com, one MX answer per exchange, preference 10, 20, ...
Bytes replyWith(const Bytes& query, const std::vector<const char*>& exchanges) {
    ReplyBuilder reply("example.com", idOf(query));
    std::uint16_t pref = 10;
    for (const char* exchange : exchanges) {
        reply.mx(pref, name(exchange));
        pref = static_cast<std::uint16_t>(pref + 10);
    }
    return reply.bytes();
}

Bytes withTruncation(Bytes reply) {
    reply.at(2) |= 0x02;
    return reply;
}

Bytes withResponseCode(Bytes reply, std::uint8_t rcode) {
    reply.at(3) = static_cast<std::uint8_t>((reply.at(3) & 0xF0) | rcode);
    return reply;
}

ScriptedDnsServer::Script answering(std::vector<const char*> exchanges) {
    return
        [exchanges](const Bytes& query, Responder& out) { out.send(replyWith(query, exchanges)); };
}

const ScriptedDnsServer::Script kSilent = [](const Bytes&, Responder&) {};

struct Outcome {
    Expected<std::string> result;
    std::chrono::milliseconds took;
};

Outcome ask(MxResolver& resolver, const std::string& setting,
            std::string_view domain = "example.com") {
    resolver.setServer(setting);
    const auto start = Clock::now();
    auto result = resolver.query(domain);
    return {std::move(result),
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
}

std::vector<std::string> servers(const MxStore& store) {
    std::vector<std::string> names;
    for (const auto& entry : store.list()) {
        names.push_back(entry.server);
    }
    return names;
}

void expectQueryError(const Expected<std::string>& result, const std::string& description) {
    ASSERT_FALSE(result.ok()) << result.value();
    EXPECT_EQ(result.error().number, kQueryFailed);
    EXPECT_EQ(result.error().source, kQuerySource);
    EXPECT_EQ(result.error().description.rfind(description, 0), 0u) << result.error().description;
}

TEST(MxExchange, StoresTheAnsweredExchangersInOrder) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        out.send(ReplyBuilder("example.com", idOf(query))
                     .mx(20, name("a.example.com"))
                     .mx(10, name("b.example.com"))
                     .mx(10, name("c.example.com"))
                     .bytes());
    });
    MxResolver resolver(kFast);
    auto outcome = ask(resolver, server.setting());
    ASSERT_TRUE(outcome.result.ok()) << outcome.result.error().description;
    EXPECT_EQ(outcome.result.value(), "3");
    EXPECT_EQ(servers(resolver.store()),
              (std::vector<std::string>{"b.example.com", "c.example.com", "a.example.com"}));
    EXPECT_EQ(resolver.store().best(), "b.example.com");
    EXPECT_EQ(resolver.store().domain(), "example.com");

    // On the wire: the message for the name with a random ID, once, over UDP.
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_FALSE(queries[0].overTcp);
    auto expected = buildMxQuery(idOf(queries[0].message), encodeDomain("example.com").value());
    EXPECT_EQ(queries[0].message, expected);
}

TEST(MxExchange, EachQueryUsesItsOwnSocketAndAFreshId) {
    // The first query is answered twice; the duplicate must not be taken by the next query.
    std::atomic<int> asked = 0;
    ScriptedDnsServer server([&asked](const Bytes& query, Responder& out) {
        if (asked++ == 0) {
            out.send(replyWith(query, {"first.example.com"}));
            out.send(replyWith(query, {"duplicate.example.com"}));
        } else {
            out.send(replyWith(query, {"second.example.com"}));
        }
    });
    MxResolver resolver(kFast);
    EXPECT_EQ(ask(resolver, server.setting()).result.value(), "1");
    EXPECT_EQ(resolver.store().best(), "first.example.com");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ask(resolver, server.setting()).result.value(), "1");
        EXPECT_EQ(resolver.store().best(), "second.example.com");
    }
    std::set<std::uint16_t> ids;
    for (const auto& query : server.queries()) {
        ids.insert(idOf(query.message));
    }
    EXPECT_GT(ids.size(), 1u);
}

TEST(MxExchange, EmptyInputOrBadDomainSendsNothing) {
    ScriptedDnsServer server(answering({"mx.example.com"}));
    MxResolver resolver(kFast);
    ASSERT_EQ(ask(resolver, server.setting()).result.value(), "1");

    EXPECT_EQ(ask(resolver, server.setting(), "").result.value(), "0");
    EXPECT_EQ(ask(resolver, "", "example.org").result.value(), "0");
    EXPECT_EQ(resolver.store().count(), 0u);
    EXPECT_EQ(resolver.store().list(), std::vector<MxRecord>{MxRecord{}});
    EXPECT_EQ(resolver.store().domain(), "example.com");

    auto tooLong = ask(resolver, server.setting(), std::string(64, 'a') + ".com");
    ASSERT_FALSE(tooLong.result.ok());
    EXPECT_EQ(tooLong.result.error().number, kInvalidArgument);
    EXPECT_EQ(resolver.store().domain(), "example.com");
    EXPECT_EQ(server.queries().size(), 1u);
}

TEST(MxExchange, UnansweredQueryIsSentOncePerTryThenFails) {
    ScriptedDnsServer server(kSilent);
    MxResolver resolver(QueryTiming{150ms, 3});
    auto outcome = ask(resolver, server.setting());
    expectQueryError(outcome.result, "Problem receiving MX query");
    EXPECT_GE(outcome.took, 440ms);
    EXPECT_LT(outcome.took, 1500ms);
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries[1].message, queries[0].message);
    EXPECT_EQ(queries[2].message, queries[0].message);
}

TEST(MxExchange, LateReplyToTheFirstSendIsTakenDuringTheResend) {
    std::atomic<int> asked = 0;
    ScriptedDnsServer server([&asked](const Bytes& query, Responder& out) {
        if (asked++ == 0) {
            // Half-way through the second try, with room on both sides for a loaded machine.
            std::this_thread::sleep_for(1500ms);
            out.send(replyWith(query, {"late.example.com"}));
        }
    });
    MxResolver resolver(QueryTiming{1000ms, 3});
    auto outcome = ask(resolver, server.setting());
    ASSERT_TRUE(outcome.result.ok()) << outcome.result.error().description;
    EXPECT_EQ(resolver.store().best(), "late.example.com");
    // A machine slow enough to miss the second try sends a third; the reply still counts.
    EXPECT_GE(server.udpQueryCount(), 2u);
}

TEST(MxExchange, RefusedPortEndsTheWaitAtOnce) {
    MxResolver resolver(QueryTiming{1000ms, 3});
    auto outcome = ask(resolver, "127.0.0.1:" + std::to_string(testing::closedUdpPort()));
    expectQueryError(outcome.result, "Problem receiving MX query");
    EXPECT_LT(outcome.took, 500ms);
}

// A datagram that is not the reply to our query. Which fields must match is the reply
// matcher's own test; here each kind must be dropped while the wait goes on.
struct Impostor {
    const char* fault;
    Bytes (*make)(const Bytes& query);
    bool fromOtherPort = false;
};

Bytes forgedReply(const Bytes& query) {
    return replyWith(query, {"forged.example.com"});
}

const Impostor kImpostors[] = {
    {"WrongId",
     [](const Bytes& query) {
         auto reply = forgedReply(query);
         reply.at(1) ^= 0x01;
         return reply;
     }},
    {"OtherName",
     [](const Bytes& query) {
         return ReplyBuilder("example.org", idOf(query)).mx(1, name("forged.example.org")).bytes();
     }},
    {"Empty", [](const Bytes&) { return Bytes{}; }},
    {"FromAnotherPort", forgedReply, true},
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
        std::this_thread::sleep_for(20ms);
        out.send(replyWith(query, {"genuine.example.com"}));
    });
    MxResolver resolver(kFast);
    auto outcome = ask(resolver, server.setting());
    ASSERT_TRUE(outcome.result.ok()) << outcome.result.error().description;
    EXPECT_EQ(servers(resolver.store()), std::vector<std::string>{"genuine.example.com"});
    EXPECT_EQ(server.udpQueryCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Forgeries, ImpostorDatagram, ::testing::ValuesIn(kImpostors),
                         [](const auto& param) { return std::string(param.param.fault); });

TEST(MxExchange, DroppedDatagramsDoNotExtendTheWait) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        for (int i = 0; i < 12; ++i) {
            out.send(kImpostors[0].make(query));
            std::this_thread::sleep_for(50ms);
        }
    });
    MxResolver resolver(QueryTiming{200ms, 1});
    auto outcome = ask(resolver, server.setting());
    expectQueryError(outcome.result, "Problem receiving MX query");
    EXPECT_LT(outcome.took, 550ms);
}

TEST(MxExchange, TruncatedReplyIsAskedAgainOverTcp) {
    ScriptedDnsServer server(
        [](const Bytes& query, Responder& out) {
            out.send(withTruncation(replyWith(query, {"partial.example.com"})));
        },
        [](const Bytes& query, Responder& out) {
            out.send(kImpostors[0].make(query));
            out.send(replyWith(query, {"mx1.example.com", "mx2.example.com", "mx3.example.com"}));
        });
    MxResolver resolver(kFast);
    auto outcome = ask(resolver, server.setting());
    ASSERT_TRUE(outcome.result.ok()) << outcome.result.error().description;
    EXPECT_EQ(outcome.result.value(), "3");
    EXPECT_EQ(resolver.store().best(), "mx1.example.com");
    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_TRUE(queries[1].overTcp);
    EXPECT_EQ(queries[1].message, queries[0].message);
}

TEST(MxExchange, DatagramsLongerThan2048BytesAreAskedAgainOverTcp) {
    for (const std::size_t size : {std::size_t{2048}, std::size_t{2049}, std::size_t{4000}}) {
        SCOPED_TRACE(size);
        ScriptedDnsServer server(
            [size](const Bytes& query, Responder& out) {
                ReplyBuilder reply("example.com", idOf(query));
                reply.mx(10, name("udp.example.com"));
                const std::size_t padding = size - reply.bytes().size() - 12;
                out.send(reply.additional(testing::pointerTo(12), 16, Bytes(padding, 'x')).bytes());
            },
            answering({"tcp.example.com"}));
        MxResolver resolver(kFast);
        auto outcome = ask(resolver, server.setting());
        ASSERT_TRUE(outcome.result.ok()) << outcome.result.error().description;
        EXPECT_EQ(resolver.store().best(), size <= 2048 ? "udp.example.com" : "tcp.example.com");
    }
}

struct TcpFault {
    const char* fault;
    ScriptedDnsServer::Script script;
};

class TcpWithoutAnswer : public ::testing::TestWithParam<TcpFault> {};

TEST_P(TcpWithoutAnswer, FailsWithinTheTimeLimits) {
    ScriptedDnsServer server(
        [](const Bytes& query, Responder& out) {
            out.send(withTruncation(replyWith(query, {"partial.example.com"})));
        },
        GetParam().script);
    MxResolver resolver(QueryTiming{200ms, 2});
    auto outcome = ask(resolver, server.setting());
    expectQueryError(outcome.result, "Problem receiving MX query");
    EXPECT_LT(outcome.took, 1500ms);
    EXPECT_GE(server.tcpQueryCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TcpWithoutAnswer,
    ::testing::Values(
        TcpFault{"ClosesUnanswered", nullptr},
        TcpFault{"WrongId",
                 [](const Bytes& query, Responder& out) { out.send(kImpostors[0].make(query)); }},
        TcpFault{"CutInsideTheMessage",
                 [](const Bytes& query, Responder& out) {
                     auto reply = replyWith(query, {"mx.example.com"});
                     reply.insert(reply.begin(), {0, static_cast<std::uint8_t>(reply.size() + 9)});
                     out.sendRaw(reply);
                 }},
        TcpFault{"CutInsideTheLength", [](const Bytes&, Responder& out) { out.sendRaw(Bytes{0}); }},
        TcpFault{"AnswersTooLate",
                 [](const Bytes& query, Responder& out) {
                     std::this_thread::sleep_for(300ms);
                     out.send(replyWith(query, {"late.example.com"}));
                 }}),
    [](const auto& param) { return std::string(param.param.fault); });

struct FailureCode {
    std::uint8_t rcode;
    const char* named;
};

class FailureResponseCode : public ::testing::TestWithParam<FailureCode> {};

TEST_P(FailureResponseCode, RaisesNamingTheCodeAndStoresNothing) {
    const auto rcode = GetParam().rcode;
    ScriptedDnsServer server([rcode](const Bytes& query, Responder& out) {
        out.send(withResponseCode(replyWith(query, {"mx.example.com"}), rcode));
    });
    MxResolver resolver(kFast);
    expectQueryError(ask(resolver, server.setting()).result,
                     std::string("DNS server answered ") + GetParam().named);
    EXPECT_EQ(resolver.store().count(), 0u);
    EXPECT_EQ(resolver.store().best(), "");
}

INSTANTIATE_TEST_SUITE_P(Codes, FailureResponseCode,
                         ::testing::Values(FailureCode{1, "FORMERR"}, FailureCode{2, "SERVFAIL"},
                                           FailureCode{4, "NOTIMP"}, FailureCode{5, "REFUSED"},
                                           FailureCode{9, "NOTAUTH"},
                                           FailureCode{11, "response code 11"},
                                           FailureCode{15, "response code 15"}),
                         [](const auto& param) { return std::to_string(param.param.rcode); });

TEST(MxExchange, NoErrorAndNameErrorWithoutAnswersGiveZero) {
    for (const std::uint8_t rcode : {std::uint8_t{0}, std::uint8_t{3}}) {
        ScriptedDnsServer server([rcode](const Bytes& query, Responder& out) {
            out.send(withResponseCode(replyWith(query, {}), rcode));
        });
        MxResolver resolver(kFast);
        EXPECT_EQ(ask(resolver, server.setting()).result.value(), "0");
        EXPECT_EQ(resolver.store().best(), "");
    }
}

TEST(MxExchange, MalformedReplyRaisesAndListsNothing) {
    // The second exchange is a pointer to itself.
    ScriptedDnsServer looping([](const Bytes& query, Responder& out) {
        ReplyBuilder reply("example.com", idOf(query));
        reply.mx(10, name("mx1.example.com"));
        const auto exchangeAt = static_cast<std::uint16_t>(reply.offset() + 2 + 10 + 2);
        out.send(reply.mx(20, testing::pointerTo(exchangeAt)).bytes());
    });
    // The header promises three answers; the reply ends after two.
    ScriptedDnsServer cut([](const Bytes& query, Responder& out) {
        auto reply = replyWith(query, {"mx1.example.com", "mx2.example.com"});
        reply.at(7) = 3;
        out.send(reply);
    });
    MxResolver resolver(kFast);
    auto loop = ask(resolver, looping.setting()).result;
    ASSERT_FALSE(loop.ok());
    EXPECT_EQ(resolver.store().count(), 0u);
    EXPECT_EQ(resolver.store().best(), "");

    auto shortReply = ask(resolver, cut.setting()).result;
    ASSERT_FALSE(shortReply.ok());
    EXPECT_EQ(shortReply.error().number, kSubscriptOutOfRange);
    EXPECT_EQ(resolver.store().count(), 0u);
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
        ScriptedDnsServer answered(answering({"mx.example.com"}));
        ScriptedDnsServer silent(kSilent);
        ScriptedDnsServer truncated(
            [](const Bytes& query, Responder& out) {
                out.send(withTruncation(replyWith(query, {})));
            },
            answering({"mx.example.com"}));
        ScriptedDnsServer failing([](const Bytes& query, Responder& out) {
            out.send(withResponseCode(replyWith(query, {}), 2));
        });
        const std::string refused = "127.0.0.1:" + std::to_string(testing::closedUdpPort());
        MxResolver resolver(QueryTiming{50ms, 2});
        for (const auto& setting : {answered.setting(), silent.setting(), truncated.setting(),
                                    failing.setting(), refused, std::string("[fe80::1]")}) {
            ask(resolver, setting);
        }
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(MxExchange, DefaultTimingIsThreeTriesOfTwoSeconds) {
    const MxResolver resolver;
    EXPECT_EQ(resolver.timing().perTry, 2000ms);
    EXPECT_EQ(resolver.timing().tries, 3);
}

}  // namespace
}  // namespace ombrix::lookup
