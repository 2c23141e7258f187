#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// The largest datagram taken as a whole reply; anything longer is cut and must be fetched
// again over TCP.
inline constexpr std::size_t kMaxUdpReply = 2048;

struct UdpReply {
    // The reply, at most kMaxUdpReply bytes.
    std::vector<std::uint8_t> message;
    // The datagram was longer than kMaxUdpReply, so message holds only its beginning.
    bool oversized = false;
};

// Sends the query over a UDP socket connected to the server, so that only the server's
// address and port are heard, and returns the first datagram that answers it. Each try
// waits at most timing.perTry; datagrams that do not answer the query are dropped without
// extending the wait. Error 20000 when nothing could be sent, when the server refuses
// (ICMP port unreachable) or when every try goes unanswered.
Expected<UdpReply> exchangeOverUdp(const ServerAddress& server, const PendingQuery& query,
                                   const QueryTiming& timing);

}  // namespace ombrix::lookup
