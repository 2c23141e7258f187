#include "ombrix/lookup/resolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
// The scripted server, the reply builder and the replies they share.
using namespace testing;

constexpr QueryTiming kPatient{1000ms, 2};

Bytes replyWith(const Bytes& query, const std::vector<const char*>& exchanges) {
    return ReplyBuilder::answering(query, "example.com", exchanges);
}

Expected<std::string> ask(MxResolver& resolver, const std::string& setting,
                          std::string_view domain = "example.com") {
    resolver.setServer(setting);
    return resolver.query(domain);
}

TEST(MxResolver, EmptyInputOrBadDomainSendsNothing) {
    ScriptedDnsServer server(
        [](const Bytes& query, Responder& out) { out.send(replyWith(query, {"mx.example.com"})); });
    MxResolver resolver(kPatient);
    ASSERT_EQ(ask(resolver, server.setting()).value(), "1");

    EXPECT_EQ(ask(resolver, server.setting(), "").value(), "0");
    EXPECT_EQ(ask(resolver, "", "example.org").value(), "0");
    EXPECT_EQ(resolver.store().count(), 0u);
    EXPECT_EQ(resolver.store().list(), std::vector<MxRecord>{MxRecord{}});
    EXPECT_EQ(resolver.store().domain(), "example.com");

    auto tooLong = ask(resolver, server.setting(), std::string(64, 'a') + ".com");
    ASSERT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.error().number, kInvalidArgument);
    EXPECT_EQ(resolver.store().domain(), "example.com");
    EXPECT_EQ(server.tries(), 1u);
}

TEST(MxResolver, NoErrorAndNameErrorWithoutAnswersGiveZero) {
    for (const std::uint8_t rcode : {std::uint8_t{0}, std::uint8_t{3}}) {
        ScriptedDnsServer server([rcode](const Bytes& query, Responder& out) {
            out.send(testing::withResponseCode(replyWith(query, {}), rcode));
        });
        MxResolver resolver(kPatient);
        EXPECT_EQ(ask(resolver, server.setting()).value(), "0");
        EXPECT_EQ(resolver.store().best(), "");
    }
}

TEST(MxResolver, MalformedReplyRaisesAndKeepsWhatWasAdded) {
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
        reply.at(7) = 3;  // answer count, low byte: one more than there is
        out.send(reply);
    });
    MxResolver resolver(kPatient);
    auto loop = ask(resolver, looping.setting());
    ASSERT_FALSE(loop.ok());
    EXPECT_EQ(resolver.store().count(), 1u);
    EXPECT_EQ(resolver.store().best(), "mx1.example.com");

    auto shortReply = ask(resolver, cut.setting());
    ASSERT_FALSE(shortReply.ok());
    EXPECT_EQ(shortReply.error().number, kSubscriptOutOfRange);
    EXPECT_EQ(resolver.store().count(), 2u);
}

}  // namespace
}  // namespace ombrix::lookup
