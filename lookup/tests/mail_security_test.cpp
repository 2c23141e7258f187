// One domain's mail-security questions against a scripted validating server: the status
// words come from the AD bit, the retry with CD set and the Extended DNS Errors, and the
// questions that depend on them are asked or not.
#include "ombrix/lookup/mail_security.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/tlsa_reply.h"
#include "ombrix/lookup/txt_reply.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr std::uint8_t kServFail = 2;
constexpr std::uint8_t kAuthenticData = 0x20;  // in the flags' low byte

// How the scripted server treats the names of mail.test: signed (AD on every answer), not
// signed (no AD, the same with CD), or failing for one name.
struct Zone {
    bool signedZone = true;
    std::string failing = {};                      // the name whose answers fail validation, if any
    std::optional<std::uint16_t> failingEde = {};  // the Extended DNS Error those failures carry
    bool failsWithCdToo = false;                   // SERVFAIL also with CD set: no answer at all
};

Bytes records(const QueryView& query) {
    ReplyBuilder reply(query.name, query.id, query.type);
    const auto owner = name(query.name);
    if (query.type == kTypeMx && query.name == "mail.test") {
        reply.mx(10, name("mx.mail.test"));
    } else if (query.type == kTypeA && query.name == "mx.mail.test") {
        reply.answer(owner, kTypeA, {192, 0, 2, 1});
    } else if (query.type == kTypeTlsa && query.name == "_25._tcp.mx.mail.test") {
        Bytes data{3, 1, 1};
        data.resize(3 + 32, 0xAB);
        reply.answer(owner, kTypeTlsa, data);
    } else if (query.type == kTypeTxt && query.name == "_mta-sts.mail.test") {
        const std::string text = "v=STSv1; id=abc123";
        Bytes data{static_cast<std::uint8_t>(text.size())};
        data.insert(data.end(), text.begin(), text.end());
        reply.answer(owner, kTypeTxt, data);
    }
    return reply.bytes();
}

ScriptedDnsServer::Script serve(const Zone& zone) {
    return [zone](const Bytes& message, Responder& out) {
        const auto query = readQuery(message);
        auto reply = records(query);
        if (!zone.failing.empty() && query.name == zone.failing &&
            (!query.checkingDisabled || zone.failsWithCdToo)) {
            ReplyBuilder failure(query.name, query.id, query.type);
            if (zone.failingEde) {
                failure.opt(1232, 0, extendedError(*zone.failingEde));
            }
            out.send(withResponseCode(failure.bytes(), kServFail));
            return;
        }
        if (zone.signedZone && !query.checkingDisabled) {
            reply.at(3) |= kAuthenticData;
        }
        out.send(reply);
    };
}

MailSecurity securityOf(const ScriptedDnsServer& server) {
    LookupEngine engine;
    LookupRequest request;
    request.server = server.setting();
    request.domain = "mail.test";
    request.timeout = 500ms;
    request.tries = 2;
    std::optional<MailSecurity> found;
    int calls = 0;
    submitMailSecurity(engine, request, [&](MailSecurity&& result) {
        ++calls;
        found = std::move(result);
    });
    engine.run();
    EXPECT_EQ(calls, 1);
    return found.value_or(MailSecurity{});
}

// "MX", "MX+cd", "TLSA" ...: what the server was asked, each once however often.
std::set<std::string> asked(const ScriptedDnsServer& server) {
    std::set<std::string> questions;
    for (const auto& received : server.queries()) {
        const auto query = readQuery(received.message);
        EXPECT_TRUE(query.dnssecOk) << query.name;
        const std::string type = query.type == kTypeMx     ? "MX"
                                 : query.type == kTypeA    ? "A"
                                 : query.type == kTypeAaaa ? "AAAA"
                                 : query.type == kTypeTlsa ? "TLSA"
                                                           : "TXT";
        questions.insert(type + (query.checkingDisabled ? "+cd " : " ") + query.name);
    }
    return questions;
}

TEST(MailSecurity, SignedAnswersAreSecureWithoutAskingAgainAndTheVerdictFollows) {
    ScriptedDnsServer server(serve(Zone{}));
    const auto found = securityOf(server);
    EXPECT_EQ(found.dnssec, DnssecStatus::secure);
    ASSERT_EQ(found.exchangers.size(), 1u);
    const auto& exchanger = found.exchangers.front();
    EXPECT_EQ(exchanger.addressDnssec, DnssecStatus::secure);
    EXPECT_EQ(exchanger.tlsa.name, "_25._tcp.mx.mail.test");
    EXPECT_EQ(exchanger.tlsa.status, TlsaStatus::usable);
    EXPECT_EQ(found.dane, DaneVerdict::verified);
    EXPECT_EQ(found.mtaSts.status, PolicyRecordStatus::valid);
    EXPECT_EQ(found.mtaSts.id, "abc123");
    EXPECT_EQ(found.tlsRpt.status, PolicyRecordStatus::absent);
    const auto questions = asked(server);
    EXPECT_TRUE(std::none_of(questions.begin(), questions.end(), [](const std::string& q) {
        return q.find("+cd") != std::string::npos;
    }));
    EXPECT_TRUE(questions.count("TLSA _25._tcp.mx.mail.test"));
}

TEST(MailSecurity, UnsignedAnswersAreInsecureOnceCdGivesTheSameAndTlsaIsNotAsked) {
    ScriptedDnsServer server(serve(Zone{false}));
    const auto found = securityOf(server);
    EXPECT_EQ(found.dnssec, DnssecStatus::insecure);
    ASSERT_EQ(found.exchangers.size(), 1u);
    EXPECT_EQ(found.exchangers.front().addressDnssec, DnssecStatus::insecure);
    EXPECT_EQ(found.exchangers.front().tlsa.status, TlsaStatus::skipped);
    EXPECT_FALSE(found.exchangers.front().tlsa.asked);
    EXPECT_EQ(found.dane, DaneVerdict::insecure);
    // The policy records need no signature: an unsigned one is still read.
    EXPECT_EQ(found.mtaSts.status, PolicyRecordStatus::valid);
    const auto questions = asked(server);
    EXPECT_TRUE(questions.count("MX+cd mail.test"));
    EXPECT_TRUE(questions.count("A+cd mx.mail.test"));
    EXPECT_FALSE(questions.count("TLSA _25._tcp.mx.mail.test"));
}

TEST(MailSecurity, ValidationFailuresAreBogusOrIndeterminateAndNeverNoRecord) {
    {
        // SERVFAIL that CD answers: bogus, a temporary error.
        ScriptedDnsServer server(serve(Zone{true, "mail.test"}));
        const auto found = securityOf(server);
        EXPECT_EQ(found.dnssec, DnssecStatus::bogus);
        EXPECT_EQ(found.dane, DaneVerdict::error);
        EXPECT_TRUE(asked(server).count("MX+cd mail.test"));
    }
    {
        // An Extended DNS Error of the DNSSEC range decides alone: no retry with CD.
        ScriptedDnsServer server(serve(Zone{true, "mail.test", 7}));
        EXPECT_EQ(securityOf(server).dnssec, DnssecStatus::bogus);
        EXPECT_FALSE(asked(server).count("MX+cd mail.test"));
    }
    {
        // SERVFAIL with CD too: nothing says why, so nothing is decided.
        ScriptedDnsServer server(serve(Zone{true, "mail.test", std::nullopt, true}));
        const auto found = securityOf(server);
        EXPECT_EQ(found.dnssec, DnssecStatus::indeterminate);
        EXPECT_EQ(found.dane, DaneVerdict::error);
    }
    {
        // A bogus TLSA answer is an error for that exchanger and the domain, never "absent".
        ScriptedDnsServer server(serve(Zone{true, "_25._tcp.mx.mail.test", 6}));
        const auto found = securityOf(server);
        ASSERT_EQ(found.exchangers.size(), 1u);
        EXPECT_EQ(found.exchangers.front().tlsa.dnssec, DnssecStatus::bogus);
        EXPECT_EQ(found.exchangers.front().tlsa.status, TlsaStatus::error);
        EXPECT_EQ(found.dane, DaneVerdict::error);
    }
    {
        // A bogus policy record is an error, not absent.
        ScriptedDnsServer server(serve(Zone{true, "_mta-sts.mail.test"}));
        EXPECT_EQ(securityOf(server).mtaSts.status, PolicyRecordStatus::error);
    }
}

TEST(MailSecurity, TheServerCheckWantsTheAdBit) {
    ScriptedDnsServer validating(serve(Zone{}));
    ScriptedDnsServer plain(serve(Zone{false}));
    for (const auto* server : {&validating, &plain}) {
        LookupEngine engine;
        LookupRequest request;
        request.server = server->setting();
        request.timeout = 500ms;
        request.tries = 2;
        const auto check = checkValidatingServer(engine, request);
        EXPECT_EQ(check.validating, server == &validating)
            << check.fault.value_or(Fault{}).description;
        EXPECT_EQ(check.fault.has_value(), server == &plain);
        const auto query = readQuery(server->queries().at(0).message);
        EXPECT_EQ(query.name, "");
        EXPECT_EQ(query.type, 48);
    }
}

}  // namespace
}  // namespace ombrix::lookup
