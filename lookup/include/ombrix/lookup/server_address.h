#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/query_timing.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kDnsPort = 53;

// A server setting taken apart: the host (address or name) and the port.
struct ServerEndpoint {
    std::string host;
    std::uint16_t port = kDnsPort;

    friend bool operator==(const ServerEndpoint&, const ServerEndpoint&) = default;
};

// Reads "192.0.2.1", "192.0.2.1:5353", "ns.example", "ns.example:5353", "::1" and
// "[::1]:5353". Text with two colons or more and no brackets is an IPv6 address without a
// port. Nothing when the text fits none of these or the port is not 1 to 65535.
OMBRIX_LOOKUP_API std::optional<ServerEndpoint> parseServerText(std::string_view text);

// The socket address that queries go to, with the setting it came from for messages.
struct ServerAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string setting;

    const sockaddr* sockaddrPtr() const;
    int family() const { return address.ss_family; }
    // "192.0.2.1:53" or "[2001:db8::1]:53".
    std::string endpointText() const;
};

// Parses the setting and looks host names up (first address) before the deadline. An address
// is a dotted quad of four decimal parts or an IPv6 address; anything else, "42" or "127.1"
// too, is a host name. A setting that cannot be parsed or resolved in time is a fault naming
// the server.
Expected<ServerAddress, Fault> resolveServer(std::string_view setting, Clock::time_point deadline);

}  // namespace ombrix::lookup
