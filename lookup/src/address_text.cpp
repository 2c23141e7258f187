#include "address_text.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <string_view>

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

// Written by hand for the same reason, in the C library's words to the byte: lower-case hex
// groups without leading zeros, the first longest run of two or more zero groups as "::",
// and the last four octets dotted after six zero groups or after "::ffff:" (RFC 4291's
// compatible and mapped forms).
std::string ipv6Text(std::span<const std::uint8_t> octets) {
    std::array<std::uint8_t, kIpv6Octets> address{};
    std::copy_n(octets.begin(), std::min(octets.size(), address.size()), address.begin());
    constexpr std::size_t kGroups = kIpv6Octets / 2;
    std::array<unsigned, kGroups> groups{};
    for (std::size_t i = 0; i < kGroups; ++i) {
        groups[i] = static_cast<unsigned>(address[2 * i] << 8 | address[2 * i + 1]);
    }
    std::size_t zerosAt = kGroups;
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < kGroups;) {
        std::size_t run = 0;
        while (i + run < kGroups && groups[i + run] == 0) {
            ++run;
        }
        if (run >= 2 && run > zeros) {
            zerosAt = i;
            zeros = run;
        }
        i += std::max<std::size_t>(run, 1);
    }
    std::string text;
    text.reserve(INET6_ADDRSTRLEN);
    constexpr std::string_view kHex = "0123456789abcdef";
    for (std::size_t i = 0; i < kGroups; ++i) {
        if (i == zerosAt) {
            text += ':';
            i += zeros - 1;
            if (i == kGroups - 1) {
                text += ':';
            }
            continue;
        }
        if (i != 0) {
            text += ':';
        }
        if (i == 6 && zerosAt == 0 && (zeros == 6 || (zeros == 5 && groups[5] == 0xFFFF))) {
            text += ipv4Text(std::span(address).subspan(12));
            break;
        }
        bool leading = true;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const auto digit = (groups[i] >> shift) & 0xF;
            if (digit != 0 || shift == 0 || !leading) {
                text += kHex[digit];
                leading = false;
            }
        }
    }
    return text;
}

}  // namespace ombrix::lookup
