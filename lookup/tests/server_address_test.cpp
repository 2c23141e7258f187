#include "ombrix/lookup/server_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>

#include "ombrix/lookup/mx_lookup.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

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

// Only a dotted quad of four decimal parts or an IPv6 address is taken as it is; the legacy
// forms that reach 0.0.0.42 or 127.0.0.1 are host names and go to the resolver, which here
// has no time left, so nothing is looked up.
TEST(ResolveServer, OnlyStrictAddressesSkipTheResolver) {
    const auto spent = Clock::now();
    for (const char* address : {"192.0.2.1", "::1", "[2001:db8::1]:53"}) {
        EXPECT_TRUE(resolveServer(address, spent).has_value()) << address;
    }
    for (const char* legacy : {"42", "0", "127.1", "0x7f.1", "2130706433", "127.0.0.01"}) {
        const auto server = resolveServer(legacy, spent);
        ASSERT_FALSE(server.has_value()) << legacy;
        EXPECT_EQ(server.error().kind, Fault::Kind::badServer);
        EXPECT_EQ(server.error().description, std::string("Cannot resolve DNS server \"") + legacy +
                                                  "\": no answer before the lookup's time ran out");
    }
}

// The original returned "0" here, which a host cannot tell from "no exchangers".
TEST(ResolveServer, UnusableServerIsAFaultNamingIt) {
    for (const char* setting : {"ns.example:99999", "[::1", "[fe80::1]", "127.0.0.1 x"}) {
        const auto result = lookupMx(setting, "example.com", LookupOptions{100ms, 1});
        EXPECT_EQ(result.outcome, Outcome::noReply) << setting;
        ASSERT_TRUE(result.fault.has_value()) << setting;
        EXPECT_NE(result.fault->description.find(std::string("\"") + setting + "\""),
                  std::string::npos)
            << result.fault->description;
    }
}

TEST(ResolveServer, HostNamesAreLookedUp) {
    // Whichever family the system lists first for localhost, the lookup asks that address.
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    ASSERT_EQ(getaddrinfo("localhost", "5353", &hints, &found), 0) << "localhost does not resolve";
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    const int named = getnameinfo(found->ai_addr, found->ai_addrlen, host, sizeof host, port,
                                  sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
    const bool ipv6 = found->ai_family == AF_INET6;
    freeaddrinfo(found);
    ASSERT_EQ(named, 0);
    const std::string expected =
        ipv6 ? "[" + std::string(host) + "]:" + port : std::string(host) + ":" + port;

    const auto server = resolveServer("localhost:5353", Clock::now() + 5s);
    ASSERT_TRUE(server.has_value()) << server.error().description;
    EXPECT_EQ(server->endpointText(), expected);
    EXPECT_EQ(server->setting, "localhost:5353");
}

}  // namespace
}  // namespace ombrix::lookup
