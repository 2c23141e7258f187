#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// A domain name in wire form: length-prefixed labels ending with the zero byte of the root.
struct WireName {
    std::vector<std::uint8_t> bytes;

    friend bool operator==(const WireName&, const WireName&) = default;
};

// Turns the domain a host typed (UTF-8) into the name to ask for. ASCII goes out byte for
// byte in its case; anything else through IDNA2008 with the UTS #46 mapping. One trailing dot
// is the root. Empty labels elsewhere, labels over 63 octets, names over 253 characters and
// what IDNA rejects fail as an invalid domain.
OMBRIX_LOOKUP_API Expected<WireName, Fault> encodeDomain(std::string_view domain);

// An ASCII letter in lower case; any other byte as it is. Names compare this way.
inline std::uint8_t foldAsciiCase(std::uint8_t byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<std::uint8_t>(byte - 'A' + 'a') : byte;
}

// Compares two wire names label by label, ASCII letters case-insensitively.
OMBRIX_LOOKUP_API bool sameName(const WireName& a, const WireName& b);

}  // namespace ombrix::lookup
