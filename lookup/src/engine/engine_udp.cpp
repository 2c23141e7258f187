// The engine's UDP side: sockets per server, batched sends and receives, replies matched to
// their lookups, refusals by ICMP.
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <system_error>

#include "byte_reader.h"
#include "engine/engine_core.h"
#include "exchange_errors.h"
#include "query_id.h"
#include "reply.h"

namespace ombrix::lookup {
namespace {

// The longest datagram there can be, and one more octet: a datagram is never cut on our side.
constexpr std::size_t kUdpReceiveRoom = 65535 + 1;
// A window this wide needs a socket receive buffer larger than the system's default.
constexpr std::size_t kWideWindow = 64;
constexpr std::uint16_t kTruncatedBit = 0x0200;
constexpr std::uint16_t kResponseBit = 0x8000;
constexpr std::uint16_t kOpcodeBits = 0x7800;

std::string systemText(int error) {
    return std::generic_category().message(error);
}

// A truncated response to our ID that leaves the question out, as some servers send: it only
// says "ask over TCP", where the answer is checked in full.
bool isTruncationNotice(std::span<const std::uint8_t> message, std::uint16_t id) {
    ByteReader header(message);
    const auto messageId = header.u16();
    const auto flags = header.u16();
    const auto questions = header.u16();
    return messageId == id && flags && (*flags & kResponseBit) != 0 &&
           (*flags & kOpcodeBits) == 0 && (*flags & kTruncatedBit) != 0 && questions == 0;
}

}  // namespace

Expected<int, Fault> EngineCore::openSocket(std::uint32_t server) {
    // A run of one query at a time may wait in the receive itself (see run()).
    auto socket = QuerySocket::open(servers_[server].address, settings_.maxInFlight > kWideWindow,
                                    settings_.maxInFlight == 1);
    if (!socket) {
        return Unexpected(std::move(socket.error()));
    }
    int index = 0;
    if (freeSockets_.empty()) {
        index = static_cast<int>(sockets_.size());
        sockets_.emplace_back();
    } else {
        index = freeSockets_.back();
        freeSockets_.pop_back();
    }
    const bool another = soleSocket() >= 0;
    auto& entry = sockets_[static_cast<std::size_t>(index)];
    entry = SocketSlot{std::move(socket.value()), server, {}};
    // A second socket needs the epoll set, which watches every socket from its start.
    const bool watched = epoll_.valid() ? watch(entry.socket->fd(), EPOLLIN,
                                                static_cast<std::uint64_t>(index))
                                        : !another || ensureEpoll();
    if (!watched) {
        const auto fault = failure_.value_or(socketFault(servers_[server].address, errno));
        entry.socket.reset();
        freeSockets_.push_back(index);
        return Unexpected(fault);
    }
    return index;
}

// Round robin over the server's sockets, opened as they are first needed; a retired socket
// is replaced, or kept in use when the system refuses a new one, so no lookup is lost to it.
Expected<int, Fault> EngineCore::pickSocket(std::uint32_t server) {
    auto& active = servers_[server].sockets;
    if (active.size() < std::max<std::size_t>(settings_.socketsPerServer, 1)) {
        auto opened = openSocket(server);
        if (opened) {
            active.push_back(*opened);
            return opened;
        }
        if (active.empty()) {
            return opened;
        }
    }
    auto& next = servers_[server].next;
    next = (next + 1) % active.size();
    auto& chosen = active[next];
    if (sockets_[static_cast<std::size_t>(chosen)].socket->retired()) {
        if (auto replacement = openSocket(server)) {
            chosen = *replacement;
        }
    }
    return chosen;
}

void EngineCore::sendUdp(std::int32_t slot, Clock::time_point now) {
    auto& lookup = at(slot);
    if (lookup.options.edns && servers_[lookup.server].refusesEdns) {
        lookup.options.edns = false;
        lookup.message = buildQuery(lookup.queryId, lookup.qname, lookup.qtype, lookup.options);
    }
    if (lookup.socket < 0) {
        auto socket = pickSocket(lookup.server);
        if (!socket) {
            finish(slot, Unexpected(std::move(socket.error())));
            return;
        }
        auto id = sockets_[static_cast<std::size_t>(*socket)].socket->claimId(
            slot, [] { return randomQueryId(); });
        if (!id) {
            finish(slot, Unexpected(std::move(id.error())));
            return;
        }
        lookup.socket = *socket;
        lookup.queryId = *id;
        lookup.message[0] = static_cast<std::uint8_t>(*id >> 8);
        lookup.message[1] = static_cast<std::uint8_t>(*id & 0xFF);
    }
    ++lookup.udpSends;
    ++lookup.timerSeq;
    lookup.lastSend = now;
    lookup.sendNumber = counters_.sent++;
    if (lookup.udpSends > 1) {
        ++counters_.retries;
    }
    sockets_[static_cast<std::size_t>(lookup.socket)].outbox.emplace_back(slot, lookup.id);
    arm(slot, std::min(now + lookup.timeout, lookup.deadline), TimerKind::tryOver);
    if (settings_.adaptiveWindow) {
        arm(slot, now + lossTimeout(lookup), TimerKind::presumedLost);
    }
    trace(lookup, "sent over UDP with ID ", std::size_t{lookup.queryId},
          lookup.options.edns ? " and EDNS" : "");
}

void EngineCore::failOutbox(SocketSlot& entry, std::size_t from, int systemError) {
    for (auto i = from; i < entry.outbox.size(); ++i) {
        const auto [slot, id] = entry.outbox[i];
        if (at(slot).id == id) {
            finish(slot, Unexpected(sendingFault(systemText(systemError))));
        }
    }
}

void EngineCore::flushOutboxes() {
    // Left uninitialised: each entry is written before it is sent, and clearing all of them
    // on every call costs more than a lone lookup's whole reply walk.
    std::array<mmsghdr, kBatch> headers;
    std::array<iovec, kBatch> pieces;
    for (auto& entry : sockets_) {
        // Lookups that ended since their send was queued leave the outbox unsent.
        std::erase_if(entry.outbox, [this](const auto& queued) {
            return at(queued.first).id != queued.second;
        });
        std::size_t sent = 0;
        while (sent < entry.outbox.size()) {
            std::size_t count = 0;
            for (auto i = sent; i < entry.outbox.size() && count < kBatch; ++i) {
                auto& lookup = at(entry.outbox[i].first);
                pieces[count] = {lookup.message.data(), lookup.message.size()};
                headers[count] = {};
                headers[count].msg_hdr.msg_iov = &pieces[count];
                headers[count].msg_hdr.msg_iovlen = 1;
                ++count;
            }
            const int done =
                ::sendmmsg(entry.socket->fd(), headers.data(), static_cast<unsigned>(count), 0);
            if (done > 0) {
                sent += static_cast<std::size_t>(done);
            } else if (errno == ECONNREFUSED) {
                // Stale entries were sent as they are: refusal ends the server's lookups.
                refuse(entry.server);
                break;
            } else if (errno == EAGAIN || errno == ENOBUFS) {
                // As good as lost: the try's timer sends it again.
                break;
            } else if (errno != EINTR) {
                failOutbox(entry, sent, errno);
                break;
            }
        }
        entry.outbox.clear();
    }
}

// Room for a batch of the longest datagrams, taken when the first reply comes.
std::uint8_t* EngineCore::receiveRoom() {
    if (!receiveRoom_) {
        receiveRoom_.reset(new (std::nothrow) std::uint8_t[receiveBatch_ * kUdpReceiveRoom]);
        if (!receiveRoom_) {
            throw std::bad_alloc();
        }
    }
    return receiveRoom_.get();
}

void EngineCore::receive(int socket, Clock::time_point now) {
    receiveRoom();
    // As in flushOutboxes, each entry is written before use.
    std::array<mmsghdr, kBatch> headers;
    std::array<iovec, kBatch> pieces;
    auto& entry = sockets_[static_cast<std::size_t>(socket)];
    while (entry.socket) {
        for (std::size_t i = 0; i < receiveBatch_; ++i) {
            pieces[i] = {receiveRoom_.get() + i * kUdpReceiveRoom, kUdpReceiveRoom};
            headers[i] = {};
            headers[i].msg_hdr.msg_iov = &pieces[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int got = ::recvmmsg(entry.socket->fd(), headers.data(),
                                   static_cast<unsigned>(receiveBatch_), MSG_DONTWAIT, nullptr);
        if (got < 0 && errno == ECONNREFUSED) {
            refuse(entry.server);
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(std::max(got, 0)); ++i) {
            const bool cut = (headers[i].msg_hdr.msg_flags & MSG_TRUNC) != 0;
            accept(socket, {receiveRoom_.get() + i * kUdpReceiveRoom, headers[i].msg_len}, cut,
                   now);
        }
        // Drained, or nothing is left to wait for on this socket.
        if (got < static_cast<int>(receiveBatch_) || !entry.socket || entry.socket->idle()) {
            return;
        }
    }
}

void EngineCore::accept(int socket, std::span<const std::uint8_t> datagram, bool cut,
                        Clock::time_point now) {
    const auto& querySocket = *sockets_[static_cast<std::size_t>(socket)].socket;
    const auto header = readHeader(datagram);
    const auto owner = header ? querySocket.ownerOf(header->id) : QuerySocket::kNoOwner;
    if (owner == QuerySocket::kNoOwner) {
        ++counters_.stray;
        if (const auto waiting = querySocket.soleOwner(); waiting != QuerySocket::kNoOwner) {
            ++at(waiting).wire.dropped;
            trace(at(waiting), "dropped a datagram that does not answer the query");
        }
        return;
    }
    auto& lookup = at(owner);
    const bool notice = isTruncationNotice(datagram, header->id);
    if (lookup.stage != Stage::udp ||
        !(notice || isReplyTo(datagram, header->id, lookup.qname, lookup.qtype))) {
        ++lookup.wire.dropped;
        trace(lookup, "dropped a datagram that does not answer the query");
        return;
    }
    const auto roundTrip = now - lookup.lastSend;
    noteRoundTrip(roundTrip);
    if (settings_.adaptiveWindow) {
        window_.onAnswer(std::chrono::duration_cast<std::chrono::microseconds>(roundTrip));
    }
    lookup.wire.roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(roundTrip);
    lookup.wire.replyOctets = datagram.size();
    if (cut || header->truncated) {
        trace(lookup, "reply truncated; asking over TCP");
        goTcp(owner, now);
        return;
    }
    if (fallsBackFromEdns(owner, header->rcode)) {
        sendUdp(owner, now);
        return;
    }
    trace(lookup, "reply of ", datagram.size(), " octets accepted");
    finish(owner, datagram);
}

// Waits in the receive on the engine's only socket, a blocking one, for at most `wait`, and
// takes the datagram that comes: the reply wakes the receive itself, as in a bare round trip.
// Returns the time when the wait ended.
Clock::time_point EngineCore::receiveWithin(int socket, std::chrono::milliseconds wait) {
    auto& entry = sockets_[static_cast<std::size_t>(socket)];
    const auto seconds = std::chrono::floor<std::chrono::seconds>(wait);
    // A zero time-out would mean none at all: at least a microsecond.
    const auto micros = std::max<std::chrono::microseconds::rep>(
        std::chrono::duration_cast<std::chrono::microseconds>(wait - seconds).count(),
        seconds.count() == 0 ? 1 : 0);
    const timeval limit{static_cast<time_t>(seconds.count()), static_cast<suseconds_t>(micros)};
    if (::setsockopt(entry.socket->fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
        return Clock::now();
    }
    iovec piece{receiveRoom(), kUdpReceiveRoom};
    mmsghdr header{};
    header.msg_hdr.msg_iov = &piece;
    header.msg_hdr.msg_iovlen = 1;
    const int got = ::recvmmsg(entry.socket->fd(), &header, 1, 0, nullptr);
    const auto now = Clock::now();
    if (got < 0 && errno == ECONNREFUSED) {
        refuse(entry.server);
    } else if (got == 1) {
        const bool cut = (header.msg_hdr.msg_flags & MSG_TRUNC) != 0;
        accept(socket, {receiveRoom_.get(), header.msg_len}, cut, now);
    }
    return now;
}

// ICMP port unreachable reached one socket of the server: nothing listens there, so every
// lookup still waiting for the server over UDP ends now.
void EngineCore::refuse(std::uint32_t server) {
    for (std::size_t slot = 0; slot < lookups_.size(); ++slot) {
        auto& lookup = lookups_[slot];
        if (lookup.id != kNoLookup && lookup.stage == Stage::udp && lookup.server == server) {
            trace(lookup, "the server refused the query (port unreachable)");
            finish(static_cast<std::int32_t>(slot), Unexpected(refusedFault()));
        }
    }
}

void EngineCore::closeIdleSockets() {
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        auto& entry = sockets_[i];
        if (!entry.socket || !entry.socket->retired() || !entry.socket->idle()) {
            continue;
        }
        const auto& active = servers_[entry.server].sockets;
        if (std::find(active.begin(), active.end(), static_cast<int>(i)) == active.end()) {
            entry.socket.reset();
            freeSockets_.push_back(static_cast<int>(i));
        }
    }
}

}  // namespace ombrix::lookup
