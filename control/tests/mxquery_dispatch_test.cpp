// The control as a host sees it: registered into a temporary store, created by its
// programmatic identifier, called late-bound by dispatch identifier.
#include <gtest/gtest.h>

#include <tuple>
#include <variant>
#include <vector>

#include "component/create.h"
#include "component/dispatch.h"
#include "control/mxquery_type_library.h"
#include "testing/mx_answer.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"
#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

using component::DispId;
using component::ErrorInfo;
using component::InvokeKind;
using component::Variant;
using testing::answering;
using testing::idOf;
using testing::name;
using testing::ReplyBuilder;
using testing::Responder;
using testing::ScriptedDnsServer;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDomain = "mx.example";

// Answers with an empty reply carrying this response code.
ScriptedDnsServer::Script responseCode(std::uint8_t rcode) {
    return [rcode](const Bytes& query, Responder& responder) {
        responder.send(testing::withResponseCode(testing::mxReply(query, {}), rcode));
    };
}

class MxQueryThroughRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(registration_.failure(), "");
        component::Ref<component::Unknown> object;
        ErrorInfo error;
        ASSERT_TRUE(component::succeeded(component::createObject("Ombrix.mxquery", object, error)))
            << error.number;
        mx_ = object.query<component::Dispatch>();
        ASSERT_TRUE(mx_);
    }

    std::variant<Variant, ErrorInfo> invoke(DispId id, std::vector<Variant> args = {},
                                            InvokeKind kind = InvokeKind::Method) {
        Variant result;
        ErrorInfo error;
        const auto rc = mx_->invoke(id, kind, args, &result, &error);
        if (component::succeeded(rc))
            return result;
        return error;
    }
    // The result of a call that must succeed.
    Variant call(DispId id, std::vector<Variant> args = {}, InvokeKind kind = InvokeKind::Method) {
        auto outcome = invoke(id, std::move(args), kind);
        if (auto* failure = std::get_if<ErrorInfo>(&outcome)) {
            ADD_FAILURE() << "error " << failure->number;
            return {};
        }
        return std::get<Variant>(outcome);
    }
    // The error of a call that must fail.
    ErrorInfo failure(DispId id, std::vector<Variant> args = {}) {
        auto outcome = invoke(id, std::move(args));
        if (!std::holds_alternative<ErrorInfo>(outcome))
            ADD_FAILURE() << "the call succeeded";
        return std::holds_alternative<ErrorInfo>(outcome) ? std::get<ErrorInfo>(outcome)
                                                          : ErrorInfo{};
    }

    Variant query(const ScriptedDnsServer& server, std::u16string domain = u"mx.example") {
        call(dispid::kDns, {toU16(server.setting())}, InvokeKind::PropertyPut);
        return call(dispid::kMxQuery, {std::move(domain)});
    }
    Variant entry(Variant idx) { return call(dispid::kGetMxEntry, {idx}); }
    Variant pref(Variant idx) { return call(dispid::kGetMxEntryPref, {idx}); }

    static std::u16string toU16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

    testing::TemporaryRegistration registration_{OMBRIX_LIBRARY_PATH};
    component::Ref<component::Dispatch> mx_;
};

TEST_F(MxQueryThroughRegistry, DnsIsOneSettingWhetherSetByPropertyOrBySetDns) {
    EXPECT_EQ(call(dispid::kDns, {}, InvokeKind::PropertyGet), Variant(u""));
    EXPECT_EQ(call(dispid::kDns, {u"192.0.2.1"}, InvokeKind::PropertyPut), Variant());
    EXPECT_EQ(call(dispid::kDns, {}, InvokeKind::PropertyGet), Variant(u"192.0.2.1"));
    EXPECT_EQ(call(dispid::kSetDns, {u"[::1]:5353"}), Variant());
    EXPECT_EQ(call(dispid::kDns, {}, InvokeKind::PropertyGet), Variant(u"[::1]:5353"));
    EXPECT_EQ(call(dispid::kDns, {u"ns.b\u00FCcher.example"}, InvokeKind::PropertyPut), Variant());
    EXPECT_EQ(call(dispid::kDns, {}, InvokeKind::PropertyGet), Variant(u"ns.b\u00FCcher.example"));

    const std::u16string unpaired{u'n', u's', char16_t{0xD800}};
    EXPECT_EQ(failure(dispid::kSetDns, {unpaired}).number, 5);
    EXPECT_EQ(call(dispid::kDns, {}, InvokeKind::PropertyGet), Variant(u"ns.b\u00FCcher.example"));
}

TEST_F(MxQueryThroughRegistry, VersionIsMajorMinorRevision) {
    EXPECT_EQ(call(dispid::kGetVersion), Variant(u"1.1.11"));
}

// This host is a console program: no QApplication, so no window can exist.
TEST_F(MxQueryThroughRegistry, AboutBoxInAConsoleHostRaisesAnErrorInsteadOfAborting) {
    const ErrorInfo error = failure(dispid::kDisplayAboutBox);
    EXPECT_EQ(error.number, 20002);
    EXPECT_EQ(error.source, u"DisplayAboutBox");
    EXPECT_NE(error.description.find(u"GUI application"), std::u16string::npos);
    EXPECT_EQ(call(dispid::kGetVersion), Variant(u"1.1.11"));
}

TEST_F(MxQueryThroughRegistry, EntriesBeforeTheFirstQueryRaiseError9) {
    std::int16_t idx = 0;
    EXPECT_EQ(failure(dispid::kGetMxEntry, {Variant::byRef(&idx)}).number, 9);
    EXPECT_EQ(failure(dispid::kGetMxEntryPref, {Variant::byRef(&idx)}).number, 9);
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u""));
}

TEST_F(MxQueryThroughRegistry, QueryListsExchangersByPreferenceThroughIndexReferences) {
    ScriptedDnsServer server(
        answering({{20, "a.mx.example"}, {10, "b.mx.example"}, {10, "c.mx.example"}}));
    EXPECT_EQ(query(server), Variant(u"3"));
    EXPECT_EQ(server.udpQueryCount(), 1u);
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u"b.mx.example"));

    const std::vector<std::pair<std::u16string, std::int16_t>> expected = {
        {u"b.mx.example", 10}, {u"c.mx.example", 10}, {u"a.mx.example", 20}};
    for (std::int16_t idx = 0; idx < 3; ++idx) {
        const std::int16_t before = idx;
        EXPECT_EQ(entry(Variant::byRef(&idx)),
                  Variant(expected.at(static_cast<std::size_t>(idx)).first));
        EXPECT_EQ(pref(Variant::byRef(&idx)),
                  Variant(expected.at(static_cast<std::size_t>(idx)).second));
        EXPECT_EQ(idx, before) << "the caller's index variable changed";
    }
    for (std::int16_t idx : {std::int16_t{-1}, std::int16_t{3}, std::int16_t{32767}}) {
        EXPECT_EQ(entry(Variant::byRef(&idx)), Variant(u""));
        EXPECT_EQ(pref(Variant::byRef(&idx)), Variant(std::int16_t{0}));
    }
}

TEST_F(MxQueryThroughRegistry, NothingToListCountsZeroAndLeavesOnlyEmptyEntries) {
    ScriptedDnsServer server(answering({{0, ""}}));  // the null MX
    EXPECT_EQ(query(server), Variant(u"0"));
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u""));
    EXPECT_EQ(entry(std::int16_t{0}), Variant(u""));
    EXPECT_EQ(pref(std::int16_t{0}), Variant(std::int16_t{0}));

    // An empty domain or server is answered without asking.
    EXPECT_EQ(call(dispid::kMxQuery, {u""}), Variant(u"0"));
    EXPECT_EQ(call(dispid::kDns, {u""}, InvokeKind::PropertyPut), Variant());
    EXPECT_EQ(call(dispid::kMxQuery, {u"mx.example"}), Variant(u"0"));
    EXPECT_EQ(entry(std::int16_t{0}), Variant(u""));
    EXPECT_EQ(server.udpQueryCount(), 1u);
}

TEST_F(MxQueryThroughRegistry, ANullMxBesideExchangersCountsTheOthers) {
    ScriptedDnsServer server(answering({{0, ""}, {20, "b.mx.example"}}));
    EXPECT_EQ(query(server), Variant(u"1"));
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u"b.mx.example"));
}

TEST_F(MxQueryThroughRegistry, PreferencesTravelAsTheSame16Bits) {
    ScriptedDnsServer server(answering(
        {{65535, "last.mx.example"}, {32768, "mid.mx.example"}, {10, "first.mx.example"}}));
    EXPECT_EQ(query(server), Variant(u"3"));
    // Ordered and chosen by the unsigned value; the host reads the bits back as unsigned.
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u"first.mx.example"));
    EXPECT_EQ(pref(std::int16_t{0}), Variant(std::int16_t{10}));
    EXPECT_EQ(pref(std::int16_t{1}), Variant(std::int16_t{-32768}));
    EXPECT_EQ(pref(std::int16_t{2}), Variant(std::int16_t{-1}));
    EXPECT_EQ(entry(std::int16_t{2}), Variant(u"last.mx.example"));
}

TEST_F(MxQueryThroughRegistry, IndexIsCoercedAsADispatchHostDoes) {
    ScriptedDnsServer server(answering({{10, "a.mx.example"}, {20, "b.mx.example"}}));
    ASSERT_EQ(query(server), Variant(u"2"));
    EXPECT_EQ(entry(u"1"), Variant(u"b.mx.example"));
    EXPECT_EQ(pref(std::int32_t{1}), Variant(std::int16_t{20}));
    EXPECT_EQ(failure(dispid::kGetMxEntry, {u"one"}).number, 13);
    EXPECT_EQ(failure(dispid::kGetMxEntryPref, {std::int32_t{70000}}).number, 6);
    EXPECT_EQ(failure(dispid::kGetMxEntry, {u"40000"}).number, 6);
}

TEST_F(MxQueryThroughRegistry, ServerFailureArrivesWithNumberSourceAndDescription) {
    ScriptedDnsServer server(responseCode(2));
    call(dispid::kSetDns, {toU16(server.setting())});
    EXPECT_EQ(failure(dispid::kMxQuery, {u"mx.example"}),
              (ErrorInfo{20000, u"MXQuery", u"DNS server answered SERVFAIL"}));
}

TEST_F(MxQueryThroughRegistry, AFailedQueryListsNothingOfThisReplyOrTheOneBefore) {
    ScriptedDnsServer good(answering({{10, "a.mx.example"}}));
    ASSERT_EQ(query(good), Variant(u"1"));
    // A good exchanger, then one whose name points forwards: the reply is refused whole.
    ScriptedDnsServer malformed([](const Bytes& query, Responder& responder) {
        ReplyBuilder reply(kDomain, idOf(query));
        reply.mx(5, name("b.mx.example")).mx(20, testing::pointerTo(0x3FFF));
        responder.send(reply.bytes());
    });
    call(dispid::kSetDns, {toU16(malformed.setting())});
    const ErrorInfo error = failure(dispid::kMxQuery, {u"mx.example"});
    EXPECT_EQ(error.number, 20000);
    EXPECT_NE(error.description.find(u"does not point backwards"), std::u16string::npos);
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u""));
    EXPECT_EQ(entry(std::int16_t{0}), Variant(u""));
    EXPECT_EQ(pref(std::int16_t{0}), Variant(std::int16_t{0}));
}

// What the count and error 20000 leave open: a missing name against a name without MX, a
// server failure against a lost reply, and whether asking again may help.
TEST_F(MxQueryThroughRegistry, OutcomeTellsApartWhatTheCountCannot) {
    const auto outcome = [this] {
        return std::tuple(call(dispid::kGetOutcome), call(dispid::kGetResponseCode),
                          call(dispid::kIsTemporary));
    };
    const Variant none(std::int16_t{-1}), no(std::int16_t{0}), yes(std::int16_t{1});
    EXPECT_EQ(outcome(), std::tuple(Variant(u""), none, no));

    ScriptedDnsServer found(answering({{10, "a.mx.example"}}));
    EXPECT_EQ(query(found), Variant(u"1"));
    EXPECT_EQ(outcome(), std::tuple(Variant(u"exchangers"), Variant(std::int16_t{0}), no));

    ScriptedDnsServer missing(responseCode(3));
    EXPECT_EQ(query(missing), Variant(u"0"));
    EXPECT_EQ(outcome(), std::tuple(Variant(u"no-such-name"), Variant(std::int16_t{3}), no));

    ScriptedDnsServer withoutMx(responseCode(0));
    EXPECT_EQ(query(withoutMx), Variant(u"0"));
    EXPECT_EQ(outcome(), std::tuple(Variant(u"no-mx"), Variant(std::int16_t{0}), no));

    ScriptedDnsServer failing(responseCode(2));
    call(dispid::kSetDns, {toU16(failing.setting())});
    EXPECT_EQ(failure(dispid::kMxQuery, {u"mx.example"}).number, 20000);
    EXPECT_EQ(outcome(), std::tuple(Variant(u"server-failure"), Variant(std::int16_t{2}), yes));

    call(dispid::kSetDns, {toU16("127.0.0.1:" + std::to_string(testing::closedUdpPort()))});
    EXPECT_EQ(failure(dispid::kMxQuery, {u"mx.example"}).number, 20000);
    EXPECT_EQ(outcome(), std::tuple(Variant(u"no-reply"), none, yes));

    // A query refused without asking leaves no outcome, as before the first.
    EXPECT_EQ(call(dispid::kMxQuery, {u""}), Variant(u"0"));
    EXPECT_EQ(outcome(), std::tuple(Variant(u""), none, no));
}

TEST_F(MxQueryThroughRegistry, RefusedQueryEndsTheWaitWithError20000) {
    call(dispid::kSetDns, {toU16("127.0.0.1:" + std::to_string(testing::closedUdpPort()))});
    EXPECT_EQ(failure(dispid::kMxQuery, {u"mx.example"}),
              (ErrorInfo{20000, u"MXQuery",
                         u"Problem receiving MX query: the server refused the query (port "
                         u"unreachable)"}));
}

TEST_F(MxQueryThroughRegistry, InvalidDomainRaisesError5AndResetsTheResult) {
    ScriptedDnsServer server(answering({{10, "a.mx.example"}}));
    ASSERT_EQ(query(server), Variant(u"1"));

    EXPECT_EQ(failure(dispid::kMxQuery, {u"mx..example"}).number, 5);
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u""));

    ASSERT_EQ(query(server), Variant(u"1"));
    const std::u16string unpaired{u'm', u'x', char16_t{0xDC00}, u'.', u'e', u'x'};
    const ErrorInfo error = failure(dispid::kMxQuery, {unpaired});
    EXPECT_EQ(error.number, 5);
    EXPECT_EQ(error.source, u"Ombrix");
    EXPECT_NE(error.description, u"");
    EXPECT_EQ(call(dispid::kGetBestMx), Variant(u""));
    EXPECT_EQ(entry(std::int16_t{0}), Variant(u""));
    EXPECT_EQ(server.udpQueryCount(), 2u);
}

TEST_F(MxQueryThroughRegistry, UnicodeDomainIsQueriedInItsAsciiForm) {
    // The question comes back with no answers.
    ScriptedDnsServer server([](const Bytes& query, Responder& responder) {
        Bytes reply = query;
        reply.at(2) = static_cast<std::uint8_t>(reply.at(2) | 0x80);  // flags: QR, a response
        responder.send(reply);
    });
    call(dispid::kSetDns, {toU16(server.setting())});
    EXPECT_EQ(call(dispid::kMxQuery, {u"b\u00FCcher.example"}), Variant(u"0"));

    const auto queries = server.queries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(testing::readQuery(queries.front().message).name, "xn--bcher-kva.example");
}

}  // namespace
}  // namespace ombrix
