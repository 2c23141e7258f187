#include "control/core/dns_exchange.h"

#include "control/core/reply.h"
#include "control/core/tcp_exchange.h"
#include "control/core/udp_exchange.h"

namespace ombrix::core {

Expected<std::vector<std::uint8_t>> exchangeQuery(const ServerAddress& server,
                                                  const PendingQuery& query,
                                                  const QueryTiming& timing) {
    auto datagram = exchangeOverUdp(server, query, timing);
    if (!datagram) {
        return datagram.error();
    }
    auto& reply = datagram.value();
    auto header = readHeader(reply.message);
    if (reply.oversized || !header || header->truncated) {
        return exchangeOverTcp(server, query, timing);
    }
    return std::move(reply.message);
}

}  // namespace ombrix::core
