// The engine's TCP side: a truncated reply's lookup goes on over a non-blocking connection in
// the same epoll set, try after try within its budget; and the fallback from EDNS.
#include <sys/epoll.h>

#include "engine/engine_core.h"
#include "exchange_errors.h"
#include "ombrix/lookup/query_message.h"
#include "reply.h"

namespace ombrix::lookup {
namespace {

// The answers of a server that does not know the OPT record.
constexpr std::uint8_t kFormatError = 1;
constexpr std::uint8_t kNotImplemented = 4;

}  // namespace

// A server that answers FORMERR or NOTIMP to a query with an OPT record does not know EDNS:
// the lookup asks again without it, once, and the server's later lookups go without it too.
bool EngineCore::fallsBackFromEdns(std::int32_t slot, std::uint8_t rcode) {
    auto& lookup = at(slot);
    if (!lookup.options.edns || (rcode != kFormatError && rcode != kNotImplemented)) {
        return false;
    }
    servers_[lookup.server].refusesEdns = true;
    lookup.options.edns = false;
    lookup.message = buildQuery(lookup.queryId, lookup.qname, lookup.qtype, lookup.options);
    trace(lookup, "the server answered ", rcode == kFormatError ? "FORMERR" : "NOTIMP",
          " to EDNS; asking again without it");
    return true;
}

void EngineCore::goTcp(std::int32_t slot, Clock::time_point now) {
    auto& lookup = at(slot);
    lookup.stage = Stage::tcp;
    ++lookup.timerSeq;
    if (lookup.presumedLost) {
        lookup.presumedLost = false;
        --presumedLost_;
    }
    lookup.wire.transport = Transport::tcp;
    lookup.wire.truncated = true;
    startTcpTry(slot, now);
}

void EngineCore::startTcpTry(std::int32_t slot, Clock::time_point now) {
    auto& lookup = at(slot);
    const auto total = budgetOf(lookup);
    if (now >= lookup.deadline) {
        finish(slot, Unexpected(triesSpent(std::move(lookup.lastTcpMiss), "TCP", lookup.tcpTries,
                                           total)));
        return;
    }
    ++lookup.tcpTries;
    ++lookup.timerSeq;
    ++counters_.sent;
    lookup.tcpStart = now;
    // The connection needs the epoll set; made now, it watches what is open already.
    if (!ensureEpoll()) {
        onTcpMiss(slot, Miss{*failure_, true}, now);
        return;
    }
    auto exchange = TcpExchange::start(servers_[lookup.server].address, lookup.message);
    if (!exchange) {
        onTcpMiss(slot, std::move(exchange.error()), now);
        return;
    }
    lookup.tcp.emplace(std::move(exchange.value()));
    if (!watch(lookup.tcp->fd(), lookup.tcp->events(), tcpTag(slot))) {
        onTcpMiss(slot, Miss{socketFault(servers_[lookup.server].address, errno), true}, now);
        return;
    }
    arm(slot, std::min(now + lookup.timeout, lookup.deadline), TimerKind::tryOver);
    trace(lookup, "connecting over TCP");
}

// The tag names the slot and the try, so an event of a closed connection finds no other.
std::uint64_t EngineCore::tcpTag(std::int32_t slot) {
    const auto seq = static_cast<std::uint64_t>(at(slot).timerSeq) & 0x7FFFFFFF;
    return kTcpTag | seq << 32 | static_cast<std::uint64_t>(slot);
}

void EngineCore::onTcpReady(std::int32_t slot, Clock::time_point now) {
    auto& lookup = at(slot);
    const auto before = lookup.tcp->events();
    auto step = lookup.tcp->advance(QueryMatch{lookup.queryId, &lookup.qname, lookup.qtype});
    if (!step) {
        if (lookup.tcp->events() != before) {
            epoll_event event{};
            event.events = lookup.tcp->events();
            event.data.u64 = tcpTag(slot);
            ::epoll_ctl(epoll_.fd(), EPOLL_CTL_MOD, lookup.tcp->fd(), &event);
        }
        return;
    }
    if (!*step) {
        onTcpMiss(slot, std::move(step->error()), now);
        return;
    }
    auto& reply = step->value();
    lookup.wire.dropped += lookup.tcp->dropped();
    if (fallsBackFromEdns(slot, readHeader(reply)->rcode)) {
        lookup.tcp.reset();
        startTcpTry(slot, now);
        return;
    }
    lookup.wire.roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(now - lookup.tcpStart);
    lookup.wire.replyOctets = reply.size();
    trace(lookup, "reply of ", reply.size(), " octets over TCP");
    finish(slot, std::span<const std::uint8_t>(reply));
}

void EngineCore::onTcpMiss(std::int32_t slot, Miss miss, Clock::time_point now) {
    auto& lookup = at(slot);
    if (lookup.tcp) {
        lookup.wire.dropped += lookup.tcp->dropped();
        lookup.tcp.reset();
    }
    trace(lookup, "TCP exchange failed: ", miss.fault.description);
    if (miss.final) {
        finish(slot, Unexpected(std::move(miss.fault)));
        return;
    }
    lookup.lastTcpMiss = std::move(miss.fault);
    if (lookup.tcpTries < lookup.tries && now < lookup.deadline) {
        startTcpTry(slot, now);
        return;
    }
    finish(slot, Unexpected(triesSpent(std::move(lookup.lastTcpMiss), "TCP", lookup.tcpTries,
                                       budgetOf(lookup))));
}

}  // namespace ombrix::lookup
