#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

// The mnemonic of a response code ("SERVFAIL"), or "response code N" for one without a
// standard name.
std::string responseCodeName(std::uint8_t rcode);

// NOERROR and NXDOMAIN let the reply be walked; any other response code is error 20000
// naming it, e.g. "DNS server answered SERVFAIL".
Status acceptResponseCode(std::span<const std::uint8_t> reply);

}  // namespace ombrix::lookup
