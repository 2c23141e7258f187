#include "ombrix/lookup/server_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>

#include "lookup/tests/reply_builder.h"
#include "lookup/tests/scripted_dns_server.h"
#include "ombrix/lookup/resolver.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;

TEST(ServerText, AcceptsAddressesAndNamesWithOrWithoutPort) {
    const std::pair<const char*, ServerEndpoint> cases[] = {
        {"192.0.2.1", {"192.0.2.1", 53}},
        {"192.0.2.1:5353", {"192.0.2.1", 5353}},
        {"ns.example", {"ns.example", 53}},
        {"ns.example:65535", {"ns.example", 65535}},
        {"::1", {"::1", 53}},
        {"fe80::1%eth0", {"fe80::1%eth0", 53}},
        {"[::1]", {"::1", 53}},
        {"[::1]:5353", {"::1", 5353}},
        {"localhost:1", {"localhost", 1}},
    };
    for (const auto& [text, endpoint] : cases) {
        EXPECT_EQ(parseServerText(text), endpoint) << text;
    }
}

TEST(ServerText, RejectsWhatIsNeitherWithAReason) {
    for (const char* text :
         {"", ":53", "ns.example:", "ns.example:0", "ns.example:65536", "ns.example:5x",
          "ns.example:+53", "ns.example:000053", "[::1", "[]:53", "[::1]5353", "[::1]:"}) {
        EXPECT_EQ(parseServerText(text), std::nullopt) << text;
    }
}

TEST(ResolveServer, NumericAddressesGetTheirPort) {
    auto v4 = resolveServer("192.0.2.1:5353", Clock::now() + 1s);
    ASSERT_TRUE(v4.has_value());
    ASSERT_EQ(v4.value().family(), AF_INET);
    const auto& in = reinterpret_cast<const sockaddr_in&>(v4.value().address);
    EXPECT_EQ(ntohs(in.sin_port), 5353);
    EXPECT_EQ(ntohl(in.sin_addr.s_addr), 0xC0000201u);

    auto v6 = resolveServer("[2001:db8::1]", Clock::now() + 1s);
    ASSERT_TRUE(v6.has_value());
    ASSERT_EQ(v6.value().family(), AF_INET6);
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(v6.value().address);
    EXPECT_EQ(ntohs(in6.sin6_port), 53);
    EXPECT_EQ(in6.sin6_addr.s6_addr[15], 1);
}

// The original returned "0" here, which a host cannot tell from "no exchangers".
TEST(ResolveServer, UnusableServerIsAnErrorNamingIt) {
    MxResolver resolver(QueryTiming{100ms, 1});
    for (const char* setting : {"ns.example:99999", "[::1", "[fe80::1]"}) {
        resolver.setServer(setting);
        auto result = resolver.query("example.com");
        ASSERT_FALSE(result.ok()) << setting;
        EXPECT_EQ(result.error().number, kQueryFailed);
        EXPECT_EQ(result.error().source, kQuerySource);
        EXPECT_NE(result.error().description.find(std::string("\"") + setting + "\""),
                  std::string::npos)
            << result.error().description;
    }
}

TEST(ResolveServer, HostNamesAreLookedUp) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    ASSERT_EQ(getaddrinfo("localhost", nullptr, &hints, &found), 0) << "localhost does not resolve";
    const bool loopbackFirst = found->ai_family == AF_INET;
    freeaddrinfo(found);
    if (!loopbackFirst) {
        GTEST_SKIP() << "localhost resolves to IPv6 first here";
    }
    testing::ScriptedDnsServer server([](const auto& query, testing::Responder& out) {
        out.send(testing::ReplyBuilder("example.com",
                                       static_cast<std::uint16_t>(query.at(0) << 8 | query.at(1)))
                     .mx(10, testing::name("mx.example.com"))
                     .bytes());
    });
    MxResolver resolver(QueryTiming{200ms, 2});
    resolver.setServer("localhost:" + std::to_string(server.port()));
    auto result = resolver.query("example.com");
    ASSERT_TRUE(result.ok()) << result.error().description;
    EXPECT_EQ(result.value(), "1");
}

}  // namespace
}  // namespace ombrix::lookup
