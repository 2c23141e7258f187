#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// One query's trip to the server: what happened on the wire, whatever it came to, and the
// reply that answers the query or why there is none.
struct ExchangeResult {
    WireReport wire;
    Expected<std::vector<std::uint8_t>, Fault> reply;
};

// Asks the server over UDP and returns the whole reply that answers the query. A truncated
// reply, or a datagram too long to take whole, is never used: the query is asked again over
// TCP and that reply is returned instead. Both draw on the budget's one deadline.
ExchangeResult exchangeQuery(const ServerAddress& server, const PendingQuery& query,
                             const QueryBudget& budget);

}  // namespace ombrix::lookup
