#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/domain_name.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kTypeMx = 15;
inline constexpr std::uint16_t kTypeCname = 5;
inline constexpr std::uint16_t kClassIn = 1;

// A standard query with recursion desired and one question: qname, type MX, class IN.
std::vector<std::uint8_t> buildMxQuery(std::uint16_t id, const WireName& qname);

}  // namespace ombrix::lookup
