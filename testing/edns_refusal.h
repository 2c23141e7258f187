#pragma once

#include <cstdint>

#include "testing/scripted_dns_server.h"

namespace ombrix::testing {

// A server from before EDNS: a query carrying an OPT record gets a reply with `rcode` (FORMERR
// or NOTIMP), its question and no OPT; a query without one goes to `plain`.
ScriptedDnsServer::Script refusingEdns(std::uint8_t rcode, ScriptedDnsServer::Script plain);

}  // namespace ombrix::testing
