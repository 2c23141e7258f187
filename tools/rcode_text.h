#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ombrix::tools {

// The name the output gives a response code: "NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
// "NOTIMP" or "REFUSED"; nothing for the others, which are given as numbers.
std::optional<std::string_view> rcodeText(std::uint8_t rcode);

}  // namespace ombrix::tools
