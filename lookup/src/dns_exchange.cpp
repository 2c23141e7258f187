#include "ombrix/lookup/dns_exchange.h"

#include "ombrix/lookup/byte_reader.h"
#include "tcp_exchange.h"
#include "udp_exchange.h"

namespace ombrix::lookup {
namespace {

constexpr std::uint16_t kTruncatedBit = 0x0200;

// Whether the UDP answer cannot be used as it is and must be fetched whole over TCP.
bool needsTcp(const WireAnswer& answer) {
    ByteReader header(answer.message);
    const bool read = header.skip(2);
    const auto flags = header.u16();
    return answer.oversized || !read || !flags || (*flags & kTruncatedBit) != 0;
}

ExchangeResult reported(WireReport wire, Leg leg) {
    wire.tries += leg.tries;
    wire.dropped += leg.dropped;
    if (!leg.answer) {
        return ExchangeResult{std::move(wire), Unexpected(std::move(leg.answer.error()))};
    }
    wire.roundTrip = leg.answer->roundTrip;
    wire.replyOctets = leg.answer->message.size();
    return ExchangeResult{std::move(wire), std::move(leg.answer->message)};
}

}  // namespace

ExchangeResult exchangeQuery(const ServerAddress& server, const PendingQuery& query,
                             const QueryBudget& budget) {
    WireReport wire;
    wire.server = server.endpointText();
    Leg udp = exchangeOverUdp(server, query, budget);
    if (!udp.answer || !needsTcp(*udp.answer)) {
        return reported(std::move(wire), std::move(udp));
    }
    wire.tries = udp.tries;
    wire.dropped = udp.dropped;
    wire.transport = Transport::tcp;
    wire.truncated = true;
    return reported(std::move(wire), exchangeOverTcp(server, query, budget));
}

}  // namespace ombrix::lookup
