#pragma once

#include <cstddef>

#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"
#include "retry_loop.h"

namespace ombrix::lookup {

// The largest datagram taken as a whole reply; anything longer is cut and must be fetched
// again over TCP.
inline constexpr std::size_t kMaxUdpReply = 2048;

// Sends the query over a UDP socket connected to the server, so that only the server's
// address and port are heard, and returns the first datagram that answers it. A truncated
// datagram with our ID but without the question also counts, since the TCP retry that
// follows checks the answer in full. Datagrams that do not answer are dropped without
// extending the wait. The server refusing (ICMP port unreachable) ends the tries at once.
Leg exchangeOverUdp(const ServerAddress& server, const PendingQuery& query,
                    const QueryBudget& budget);

}  // namespace ombrix::lookup
