#include "address_text.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>

namespace ombrix::lookup {

// Dotted decimal, written by hand: the C library's formatter costs more than the whole rest
// of a record.
std::string ipv4Text(std::span<const std::uint8_t> octets) {
    std::array<char, 4 * kIpv4Octets> text{};
    char* out = text.data();
    for (const std::uint8_t octet : octets.first(std::min(octets.size(), kIpv4Octets))) {
        if (out != text.data()) {
            *out++ = '.';
        }
        if (octet >= 100) {
            *out++ = static_cast<char>('0' + octet / 100);
        }
        if (octet >= 10) {
            *out++ = static_cast<char>('0' + octet / 10 % 10);
        }
        *out++ = static_cast<char>('0' + octet % 10);
    }
    return std::string(text.data(), out);
}

std::string ipv6Text(std::span<const std::uint8_t> octets) {
    std::array<std::uint8_t, kIpv6Octets> address{};
    std::copy_n(octets.begin(), std::min(octets.size(), address.size()), address.begin());
    std::array<char, INET6_ADDRSTRLEN> text{};
    inet_ntop(AF_INET6, address.data(), text.data(), static_cast<socklen_t>(text.size()));
    return text.data();
}

}  // namespace ombrix::lookup
