#pragma once

#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"
#include "retry_loop.h"

namespace ombrix::lookup {

// Sends the query over TCP to the same server and port, each message framed by its length in
// two bytes (RFC 7766), and returns the first message that answers it. A try that ends
// without an answer (timed out, closed, reset, cut inside a message) is followed by a fresh
// connection while tries and time remain; a refused connection ends the tries at once. The
// fault says what happened to the last try.
Leg exchangeOverTcp(const ServerAddress& server, const PendingQuery& query,
                    const QueryBudget& budget);

}  // namespace ombrix::lookup
