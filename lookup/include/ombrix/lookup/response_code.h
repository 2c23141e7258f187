#pragma once

#include <cstdint>
#include <string>

#include "ombrix/lookup/export.h"

namespace ombrix::lookup {

// The mnemonic of a response code ("SERVFAIL"), or "response code N" for one without a
// standard name. Takes the full 12-bit code an OPT record can make.
OMBRIX_LOOKUP_API std::string responseCodeName(std::uint16_t rcode);

}  // namespace ombrix::lookup
