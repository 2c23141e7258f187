#include "ombrix/lookup/server_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cctype>
#include <charconv>
#include <memory>

#include "address_text.h"
#include "host_resolution.h"
#include "server_resolution.h"

namespace ombrix::lookup {
namespace {

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<ServerEndpoint> hostWithOptionalPort(std::string_view host,
                                                   std::optional<std::string_view> port) {
    if (host.empty()) {
        return std::nullopt;
    }
    ServerEndpoint endpoint{std::string(host), kDnsPort};
    if (port) {
        auto number = parsePort(*port);
        if (!number) {
            return std::nullopt;
        }
        endpoint.port = *number;
    }
    return endpoint;
}

std::optional<ServerEndpoint> parseBracketed(std::string_view text) {
    auto close = text.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    auto host = text.substr(1, close - 1);
    auto rest = text.substr(close + 1);
    if (rest.empty()) {
        return hostWithOptionalPort(host, std::nullopt);
    }
    if (rest.front() != ':') {
        return std::nullopt;
    }
    return hostWithOptionalPort(host, rest.substr(1));
}

void setPort(sockaddr_storage& address, std::uint16_t port) {
    if (address.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
    } else {
        reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
    }
}

std::string quoted(std::string_view setting) {
    std::string text;
    text.reserve(setting.size() + 2);
    text.push_back('"');
    text.append(setting);
    text.push_back('"');
    return text;
}

Fault badServer(std::string description) {
    return Fault{Fault::Kind::badServer, std::move(description)};
}

// What a server's host may be made of: an IPv6 address (with a zone), a dotted quad, or a
// host name. Blanks and the like are refused before the system resolver could read past them.
bool isHostText(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' ||
               c == ':' || c == '%';
    });
}

// Only a dotted quad of four decimal parts is an IPv4 address; inet_pton, unlike inet_aton,
// takes nothing else.
std::optional<SocketAddress> ipv4Address(const std::string& host) {
    SocketAddress found;
    auto& in = reinterpret_cast<sockaddr_in&>(found.address);
    if (::inet_pton(AF_INET, host.c_str(), &in.sin_addr) != 1) {
        return std::nullopt;
    }
    in.sin_family = AF_INET;
    found.length = sizeof in;
    return found;
}

// An IPv6 address, with its zone when it has one ("fe80::1%eth0"); never a name lookup.
Expected<SocketAddress, std::string> ipv6Address(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found); status != 0) {
        return Unexpected(std::string(gai_strerror(status)));
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
    return addressIn(*found);
}

// The system resolver reads "42", "127.1" or "0x7f.1" as addresses the legacy way; with the
// root's dot they are names, as the setting meant.
std::string nameForResolver(const std::string& host) {
    in_addr ignored{};
    return ::inet_aton(host.c_str(), &ignored) != 0 ? host + "." : host;
}

// The host's address when the host is written as one (IPv6 or a dotted quad); nothing when it
// is a name.
std::optional<Expected<SocketAddress, std::string>> writtenAddress(const std::string& host) {
    if (host.find(':') != std::string::npos) {
        return ipv6Address(host);
    }
    if (auto address = ipv4Address(host)) {
        return *address;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ServerEndpoint> parseServerText(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.front() == '[') {
        return parseBracketed(text);
    }
    auto colons = std::count(text.begin(), text.end(), ':');
    if (colons == 1) {
        auto colon = text.find(':');
        return hostWithOptionalPort(text.substr(0, colon), text.substr(colon + 1));
    }
    return hostWithOptionalPort(text, std::nullopt);
}

const sockaddr* ServerAddress::sockaddrPtr() const {
    return reinterpret_cast<const sockaddr*>(&address);
}

std::string ServerAddress::endpointText() const {
    std::string text;
    std::uint16_t port = 0;
    if (family() == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        text = "[" + ipv6Text(in6.sin6_addr.s6_addr) + "]";
        port = ntohs(in6.sin6_port);
    } else {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        std::array<std::uint8_t, kIpv4Octets> octets{};
        std::memcpy(octets.data(), &in.sin_addr, octets.size());
        text = ipv4Text(octets);
        port = ntohs(in.sin_port);
    }
    std::array<char, 8> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), port).ptr;
    text += ':';
    text.append(digits.data(), end);
    return text;
}

Expected<ResolvedServer, Fault> resolveServerSetting(std::string_view setting,
                                                     Clock::time_point deadline) {
    auto endpoint = parseServerText(setting);
    if (!endpoint || !isHostText(endpoint->host)) {
        return Unexpected(badServer("Invalid DNS server " + quoted(setting) +
                                    ": expected an address or a host name, optionally with a "
                                    "port"));
    }
    auto written = writtenAddress(endpoint->host);
    const bool lookedUp = !written;
    auto found = lookedUp ? resolveHostWithin(nameForResolver(endpoint->host), deadline)
                          : std::move(*written);
    if (!found) {
        return Unexpected(
            badServer("Cannot resolve DNS server " + quoted(setting) + ": " + found.error()));
    }
    ResolvedServer resolved;
    resolved.address.address = found->address;
    resolved.address.length = found->length;
    resolved.address.setting = std::string(setting);
    resolved.lookedUp = lookedUp;
    setPort(resolved.address.address, endpoint->port);
    return resolved;
}

Expected<ServerAddress, Fault> resolveServer(std::string_view setting, Clock::time_point deadline) {
    auto resolved = resolveServerSetting(setting, deadline);
    if (!resolved) {
        return Unexpected(std::move(resolved.error()));
    }
    return std::move(resolved->address);
}

}  // namespace ombrix::lookup
