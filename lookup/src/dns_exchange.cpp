#include "ombrix/lookup/dns_exchange.h"

#include "ombrix/lookup/reply.h"
#include "ombrix/lookup/tcp_exchange.h"
#include "ombrix/lookup/udp_exchange.h"

namespace ombrix::lookup {

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

}  // namespace ombrix::lookup
