#pragma once

#include <cstdint>
#include <vector>

#include "control/core/error.h"
#include "control/core/pending_query.h"
#include "control/core/query_timing.h"
#include "control/core/server_address.h"

namespace ombrix::core {

// Asks the server over UDP and returns the whole reply that answers the query. A reply with
// the TC bit set, or a datagram too long to take whole, is never used: the query is asked
// again over TCP and that reply is returned instead.
Expected<std::vector<std::uint8_t>> exchangeQuery(const ServerAddress& server,
                                                  const PendingQuery& query,
                                                  const QueryTiming& timing);

}  // namespace ombrix::core
