#pragma once

#include <cstdint>
#include <string>

namespace ombrix::lookup {

// The mnemonic of a response code ("SERVFAIL"), or "response code N" for one without a
// standard name.
std::string responseCodeName(std::uint8_t rcode);

}  // namespace ombrix::lookup
