#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// Asks the server over UDP and returns the whole reply that answers the query. A reply with
// the TC bit set, or a datagram too long to take whole, is never used: the query is asked
// again over TCP and that reply is returned instead.
Expected<std::vector<std::uint8_t>> exchangeQuery(const ServerAddress& server,
                                                  const PendingQuery& query,
                                                  const QueryTiming& timing);

}  // namespace ombrix::lookup
