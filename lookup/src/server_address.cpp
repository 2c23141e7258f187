#include "ombrix/lookup/server_address.h"

#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

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

Expected<ServerAddress> resolveServer(std::string_view setting) {
    auto endpoint = parseServerText(setting);
    if (!endpoint) {
        return queryError("Invalid DNS server " + quoted(setting) +
                          ": expected an address or a host name, optionally with a port");
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    int status = getaddrinfo(endpoint->host.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        return queryError("Cannot resolve DNS server " + quoted(setting) + ": " +
                          (status != 0 ? gai_strerror(status) : "no address"));
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
    ServerAddress server;
    server.length = std::min<socklen_t>(found->ai_addrlen, sizeof server.address);
    std::memcpy(&server.address, found->ai_addr, server.length);
    server.setting = std::string(setting);
    setPort(server.address, endpoint->port);
    return server;
}

}  // namespace ombrix::lookup
