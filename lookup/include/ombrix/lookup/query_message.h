#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/domain_name.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kTypeMx = 15;
inline constexpr std::uint16_t kTypeCname = 5;
inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypeAaaa = 28;
inline constexpr std::uint16_t kClassIn = 1;

// A standard query with recursion desired and one question: qname, the type, class IN.
std::vector<std::uint8_t> buildQuery(std::uint16_t id, const WireName& qname, std::uint16_t type);

inline std::vector<std::uint8_t> buildMxQuery(std::uint16_t id, const WireName& qname) {
    return buildQuery(id, qname, kTypeMx);
}

}  // namespace ombrix::lookup
