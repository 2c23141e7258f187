#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// Sends the query over TCP to the same server and port, each message framed by its length in
// two bytes (RFC 7766), and returns the first message that answers it. Each try (connect,
// send, and wait for the reply) has timing.perTry; a try that ends without an answer is
// followed by a fresh connection until timing.tries are used up. Error 20000 when the server
// refuses the connection or the query cannot be written, or when no try is answered.
Expected<std::vector<std::uint8_t>> exchangeOverTcp(const ServerAddress& server,
                                                    const PendingQuery& query,
                                                    const QueryTiming& timing);

}  // namespace ombrix::lookup
