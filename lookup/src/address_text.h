#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ombrix::lookup {

inline constexpr std::size_t kIpv4Octets = 4;
inline constexpr std::size_t kIpv6Octets = 16;

// Dotted decimal, written by hand: the C library's formatter costs more than the whole
// rest of a record.
std::string ipv4Text(std::span<const std::uint8_t> octets);

// The shortest text of an IPv6 address; octets holds its sixteen bytes.
std::string ipv6Text(std::span<const std::uint8_t> octets);

}  // namespace ombrix::lookup
