#pragma once

#include <cstdint>
#include <span>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// Reads an accepted reply to an MX query for qname into the typed result; the wire report is
// left for the exchange to fill. A failure response code ends in serverFailure, naming it.
// Otherwise every section is read to its end: the MX answers of class IN owned by qname, or by
// the end of a CNAME chain that starts at it, become exchangers in preference order (reply
// order among equals), each with the A and AAAA addresses the additional section gives for
// it. A reply that breaks a rule ends in malformed, with no exchangers and a fault that says
// what broke and where.
OMBRIX_LOOKUP_API MxResult readMxReply(std::span<const std::uint8_t> reply, const WireName& qname);

}  // namespace ombrix::lookup
