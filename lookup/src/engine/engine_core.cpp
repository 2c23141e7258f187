#include "engine/engine_core.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <system_error>

#include "engine/typed_result.h"
#include "exchange_errors.h"
#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;

// The root is no domain to send mail to, yet a name to ask about: its DNSKEY tells whether a
// server validates.
Expected<WireName, Fault> queryName(const std::string& domain, std::uint16_t type) {
    if (domain == "." && type != kTypeMx) {
        return WireName{{0}};
    }
    return encodeDomain(domain);
}

constexpr std::size_t kBatch = 64;
// The longest datagram there can be, and one more octet: a datagram is never cut on our side.
constexpr std::size_t kUdpReceiveRoom = 65535 + 1;
constexpr std::size_t kFirstWindow = 64;
// A window this wide needs a socket receive buffer larger than the system's default.
constexpr std::size_t kWideWindow = 64;
// A reply later than this has probably been lost: the window is cut then, though the query
// is sent again only when its try's time is up.
constexpr auto kShortestLossTimeout = 50ms;
constexpr auto kFirstLossTimeout = 1s;
// Tags of the epoll set: UDP sockets by index, TCP exchanges by lookup slot.
constexpr std::uint64_t kTcpTag = 1ULL << 63;
constexpr std::uint16_t kTruncatedBit = 0x0200;
constexpr std::uint16_t kResponseBit = 0x8000;
constexpr std::uint16_t kOpcodeBits = 0x7800;
// The answers of a server that does not know the OPT record.
constexpr std::uint8_t kFormatError = 1;
constexpr std::uint8_t kNotImplemented = 4;

constexpr std::uint64_t kSlotBits = 0xFFFFFFFF;

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

std::chrono::milliseconds totalOf(std::chrono::milliseconds timeout, int tries) {
    return timeout * std::max(tries, 1);
}

}  // namespace

EngineCore::EngineCore(EngineSettings settings)
    : settings_(settings),
      window_(std::max<std::size_t>(settings.maxInFlight, 1),
              settings.adaptiveWindow ? std::min(settings.maxInFlight, kFirstWindow)
                                      : settings.maxInFlight),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      receiveBatch_(std::clamp<std::size_t>(settings.maxInFlight, 1, kBatch)) {
    if (!epoll_.valid()) {
        failure_ =
            Fault{Fault::Kind::sendFailed,
                  "Cannot start the lookup engine: no epoll descriptor: " + systemText(errno)};
    }
}

std::int32_t EngineCore::takeSlot() {
    if (freeSlots_.empty()) {
        lookups_.emplace_back();
        return static_cast<std::int32_t>(lookups_.size() - 1);
    }
    const auto slot = freeSlots_.back();
    freeSlots_.pop_back();
    return slot;
}

Expected<std::uint32_t, Fault> EngineCore::serverFor(const std::string& setting,
                                                     Clock::time_point deadline) {
    if (const auto known = serverIndex_.find(setting); known != serverIndex_.end()) {
        return known->second;
    }
    auto address = resolveServer(setting, deadline);
    if (!address) {
        return Unexpected(std::move(address.error()));
    }
    const auto index = static_cast<std::uint32_t>(servers_.size());
    auto endpoint = address->endpointText();
    servers_.push_back(Server{std::move(address.value()), std::move(endpoint), {}, 0, false});
    serverIndex_.emplace(setting, index);
    return index;
}

LookupId EngineCore::submit(const LookupRequest& request, std::uint16_t type, Completion done) {
    const auto submitted = Clock::now();
    const auto slot = takeSlot();
    auto& lookup = at(slot);
    // The sequence goes on from the slot's last lookup, so none of its timers can fire here.
    const auto seq = lookup.timerSeq + 1;
    lookup = Lookup{};
    lookup.timerSeq = seq;
    lookup.id = (++serial_ << 24) | static_cast<LookupId>(slot);
    lookup.qtype = type;
    lookup.timeout = request.timeout;
    lookup.tries = std::max(request.tries, 1);
    lookup.trace = request.trace;
    lookup.completion = std::move(done);
    ++live_;
    const auto id = lookup.id;
    try {
        start(slot, request, submitted);
    } catch (const std::bad_alloc&) {
        if (at(slot).id == id) {
            release(slot);
        }
        return kNoLookup;
    }
    return id;
}

void EngineCore::start(std::int32_t slot, const LookupRequest& request,
                       Clock::time_point submitted) {
    auto& lookup = at(slot);
    const auto total = totalOf(request.timeout, request.tries);
    auto qname = queryName(request.domain, lookup.qtype);
    auto server = failure_ ? Expected<std::uint32_t, Fault>(Unexpected(*failure_))
                           : serverFor(request.server, submitted + total);
    lookup.resolving = Clock::now() - submitted;
    if (server) {
        lookup.server = server.value();
        lookup.wire.server = servers_[server.value()].endpoint;
    }
    if (!qname) {
        finish(slot, Unexpected(std::move(qname.error())));
    } else if (!server) {
        lookup.qname = std::move(qname.value());
        finish(slot, Unexpected(std::move(server.error())));
    } else {
        lookup.qname = std::move(qname.value());
        lookup.options = QueryOptions{!servers_[lookup.server].refusesEdns, request.dnssecOk,
                                      request.checkingDisabled};
        lookup.message = buildQuery(0, lookup.qname, lookup.qtype, lookup.options);
        queue_.emplace_back(slot, lookup.id);
        ++queued_;
    }
}

bool EngineCore::cancel(LookupId id) {
    const auto slot = static_cast<std::int32_t>(id & 0xFFFFFF);
    if (id != kNoLookup && static_cast<std::size_t>(slot) < lookups_.size() && at(slot).id == id) {
        if (at(slot).stage == Stage::queued) {
            --queued_;
        }
        release(slot);
        return true;
    }
    for (auto* batch : {&done_, delivering_}) {
        if (batch == nullptr) {
            continue;
        }
        for (auto& delivery : *batch) {
            if (delivery.id == id && delivery.call) {
                delivery.call = nullptr;
                return true;
            }
        }
    }
    return false;
}

bool EngineCore::hasRoom() const {
    return queued_ == 0 && occupying() < window_.size();
}

EngineCounters EngineCore::counters() const {
    auto counters = counters_;
    counters.inFlight = pending();
    counters.window = window_.size();
    counters.windowCuts = window_.cuts();
    return counters;
}

Expected<int, Fault> EngineCore::openSocket(std::uint32_t server) {
    auto socket = QuerySocket::open(servers_[server].address, settings_.maxInFlight > kWideWindow);
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
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = static_cast<std::uint64_t>(index);
    if (::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, socket->fd(), &event) != 0) {
        freeSockets_.push_back(index);
        return Unexpected(socketFault(servers_[server].address, errno));
    }
    sockets_[static_cast<std::size_t>(index)] = SocketSlot{std::move(socket.value()), server, {}};
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

void EngineCore::trace(Lookup& lookup, std::string what) {
    if (!lookup.trace) {
        return;
    }
    const auto since = lookup.udpSends == 0 ? Clock::duration{} : Clock::now() - lookup.firstSend;
    lookup.wire.trace.push_back(
        {std::chrono::duration_cast<std::chrono::microseconds>(since), std::move(what)});
}

void EngineCore::arm(std::int32_t slot, Clock::time_point due, TimerKind kind) {
    timers_.push_back({due, slot, at(slot).timerSeq, kind});
    std::push_heap(timers_.begin(), timers_.end(), std::greater<>{});
}

void EngineCore::admit(Clock::time_point now) {
    while (!queue_.empty() && occupying() < window_.size()) {
        const auto [slot, id] = queue_.front();
        queue_.pop_front();
        auto& lookup = at(slot);
        if (lookup.id != id) {
            continue;
        }
        --queued_;
        ++admitted_;
        lookup.stage = Stage::udp;
        lookup.firstSend = now;
        lookup.deadline = now + totalOf(lookup.timeout, lookup.tries) -
                          std::chrono::duration_cast<Clock::duration>(lookup.resolving);
        sendUdp(slot, now);
    }
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
    trace(lookup, "sent over UDP with ID " + std::to_string(lookup.queryId));
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
    std::array<mmsghdr, kBatch> headers{};
    std::array<iovec, kBatch> pieces{};
    for (auto& entry : sockets_) {
        // Lookups that ended since their send was queued leave the outbox unsent.
        std::erase_if(entry.outbox,
                      [this](const auto& queued) { return at(queued.first).id != queued.second; });
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

void EngineCore::receive(int socket, Clock::time_point now) {
    if (!receiveRoom_) {
        receiveRoom_.reset(new (std::nothrow) std::uint8_t[receiveBatch_ * kUdpReceiveRoom]);
        if (!receiveRoom_) {
            throw std::bad_alloc();
        }
    }
    std::array<mmsghdr, kBatch> headers{};
    std::array<iovec, kBatch> pieces{};
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
        if (got < static_cast<int>(receiveBatch_)) {
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
    trace(lookup, "reply of " + std::to_string(datagram.size()) + " octets accepted");
    finish(owner, std::vector<std::uint8_t>(datagram.begin(), datagram.end()));
}

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
    trace(lookup, std::string("the server answered ") +
                      (rcode == kFormatError ? "FORMERR" : "NOTIMP") +
                      " to EDNS; asking again without it");
    return true;
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
    const auto total = totalOf(lookup.timeout, lookup.tries);
    if (now >= lookup.deadline) {
        finish(slot, Unexpected(
                         triesSpent(std::move(lookup.lastTcpMiss), "TCP", lookup.tcpTries, total)));
        return;
    }
    ++lookup.tcpTries;
    ++lookup.timerSeq;
    ++counters_.sent;
    lookup.tcpStart = now;
    auto exchange = TcpExchange::start(servers_[lookup.server].address, lookup.message);
    if (!exchange) {
        onTcpMiss(slot, std::move(exchange.error()), now);
        return;
    }
    lookup.tcp.emplace(std::move(exchange.value()));
    epoll_event event{};
    event.events = lookup.tcp->events();
    event.data.u64 = tcpTag(slot);
    if (::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, lookup.tcp->fd(), &event) != 0) {
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
    lookup.wire.roundTrip =
        std::chrono::duration_cast<std::chrono::microseconds>(now - lookup.tcpStart);
    lookup.wire.replyOctets = reply.size();
    trace(lookup, "reply of " + std::to_string(reply.size()) + " octets over TCP");
    finish(slot, std::move(reply));
}

void EngineCore::onTcpMiss(std::int32_t slot, Miss miss, Clock::time_point now) {
    auto& lookup = at(slot);
    if (lookup.tcp) {
        lookup.wire.dropped += lookup.tcp->dropped();
        lookup.tcp.reset();
    }
    trace(lookup, "TCP exchange failed: " + miss.fault.description);
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
                                       totalOf(lookup.timeout, lookup.tries))));
}

void EngineCore::onTryOver(std::int32_t slot, Clock::time_point now) {
    auto& lookup = at(slot);
    if (lookup.stage == Stage::tcp) {
        onTcpMiss(slot, lookup.tcp->timedOut(), now);
        return;
    }
    trace(lookup, "no reply within the try's time");
    if (lookup.presumedLost) {
        lookup.presumedLost = false;
        --presumedLost_;
    }
    if (lookup.udpSends < lookup.tries && now < lookup.deadline) {
        sendUdp(slot, now);
        return;
    }
    finish(slot, Unexpected(triesSpent(receivingFault("no reply"), "UDP", lookup.udpSends,
                                       totalOf(lookup.timeout, lookup.tries))));
}

void EngineCore::expireTimers(Clock::time_point now) {
    while (!timers_.empty() && timers_.front().due <= now) {
        std::pop_heap(timers_.begin(), timers_.end(), std::greater<>{});
        const auto timer = timers_.back();
        timers_.pop_back();
        auto& lookup = at(timer.slot);
        if (lookup.id == kNoLookup || lookup.timerSeq != timer.seq) {
            continue;
        }
        if (timer.kind == TimerKind::tryOver) {
            onTryOver(timer.slot, now);
        } else if (!lookup.presumedLost) {
            lookup.presumedLost = true;
            ++presumedLost_;
            window_.onLoss(lookup.sendNumber, counters_.sent);
        }
    }
}

void EngineCore::finish(std::int32_t slot, Ending ending) {
    auto& lookup = at(slot);
    auto wire = std::move(lookup.wire);
    wire.tries = lookup.udpSends + lookup.tcpTries;
    wire.edns = lookup.options.edns && wire.tries > 0;
    const auto id = lookup.id;
    const auto qtype = lookup.qtype;
    auto qname = std::move(lookup.qname);
    auto completion = std::move(lookup.completion);
    release(slot);
    std::function<void()> call;
    if (auto* mx = std::get_if<0>(&completion)) {
        call = [done = std::move(*mx),
                result = mxResultOf(std::move(ending), qname, std::move(wire))]() mutable {
            done(std::move(result));
        };
    } else if (auto* address = std::get_if<1>(&completion)) {
        call = [done = std::move(*address),
                answer = addressAnswerOf(std::move(ending), qname, qtype,
                                         std::move(wire))]() mutable { done(std::move(answer)); };
    } else {
        call = [done = std::move(std::get<2>(completion)),
                answer = recordAnswerOf(std::move(ending), std::move(wire))]() mutable {
            done(std::move(answer));
        };
    }
    done_.push_back({id, std::move(call)});
}

void EngineCore::release(std::int32_t slot) {
    auto& lookup = at(slot);
    if (lookup.socket >= 0) {
        if (auto& socket = sockets_[static_cast<std::size_t>(lookup.socket)].socket) {
            socket->releaseId(lookup.queryId);
        }
    }
    if (lookup.stage != Stage::queued) {
        --admitted_;
    }
    if (lookup.presumedLost) {
        --presumedLost_;
    }
    lookup.tcp.reset();
    lookup.id = kNoLookup;
    lookup.socket = -1;
    lookup.presumedLost = false;
    lookup.stage = Stage::queued;
    ++lookup.timerSeq;
    --live_;
    freeSlots_.push_back(slot);
}

void EngineCore::deliver() {
    // A callback may submit or cancel: take the batch first, and skip what it cancelled.
    auto batch = std::move(done_);
    done_.clear();
    delivering_ = &batch;
    for (auto& delivery : batch) {
        if (delivery.call) {
            auto call = std::move(delivery.call);
            delivery.call = nullptr;
            call();
        }
    }
    delivering_ = nullptr;
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

void EngineCore::noteRoundTrip(Clock::duration sample) {
    if (!smoothedRtt_) {
        smoothedRtt_ = sample;
        rttVariation_ = sample / 2;
        return;
    }
    const auto error = sample > *smoothedRtt_ ? sample - *smoothedRtt_ : *smoothedRtt_ - sample;
    rttVariation_ = (rttVariation_ * 3 + error) / 4;
    smoothedRtt_ = (*smoothedRtt_ * 7 + sample) / 8;
}

Clock::duration EngineCore::lossTimeout(const Lookup& lookup) const {
    const Clock::duration ceiling = lookup.timeout;
    if (!smoothedRtt_) {
        return std::min<Clock::duration>(ceiling, kFirstLossTimeout);
    }
    return std::clamp<Clock::duration>(*smoothedRtt_ + 4 * rttVariation_, kShortestLossTimeout,
                                       std::max<Clock::duration>(ceiling, kShortestLossTimeout));
}

void EngineCore::handle(std::span<const epoll_event> events, Clock::time_point now) {
    for (const auto& event : events) {
        const auto tag = event.data.u64;
        if ((tag & kTcpTag) != 0) {
            const auto slot = static_cast<std::int32_t>(tag & kSlotBits);
            if (at(slot).tcp && tcpTag(slot) == tag) {
                onTcpReady(slot, now);
            }
        } else if (sockets_[tag].socket) {
            receive(static_cast<int>(tag), now);
        }
    }
}

void EngineCore::failEverything(const Fault& fault) {
    for (std::size_t slot = 0; slot < lookups_.size(); ++slot) {
        if (lookups_[slot].id != kNoLookup) {
            finish(static_cast<std::int32_t>(slot), Unexpected(fault));
        }
    }
    queue_.clear();
    queued_ = 0;
}

std::optional<std::chrono::milliseconds> EngineCore::work(Clock::time_point now) {
    expireTimers(now);
    admit(now);
    flushOutboxes();
    closeIdleSockets();
    deliver();
    if (!done_.empty() || (queued_ > 0 && occupying() < window_.size())) {
        return 0ms;
    }
    if (live_ == 0) {
        return std::nullopt;
    }
    if (timers_.empty()) {
        return kFirstLossTimeout;
    }
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(timers_.front().due - Clock::now());
    return std::max(wait, 0ms);
}

std::optional<std::chrono::milliseconds> EngineCore::process() {
    try {
        std::array<epoll_event, 64> events{};
        if (epoll_.valid()) {
            const int ready = ::epoll_wait(epoll_.fd(), events.data(), events.size(), 0);
            handle({events.data(), static_cast<std::size_t>(std::max(ready, 0))}, Clock::now());
        }
        return work(Clock::now());
    } catch (const std::bad_alloc&) {
        return recoverFromExhaustion();
    }
}

// Memory ran out half way through a step: every lookup ends with that fault, so that each
// caller still hears of each of its lookups.
std::optional<std::chrono::milliseconds> EngineCore::recoverFromExhaustion() {
    try {
        failEverything(Fault{Fault::Kind::sendFailed, "Out of memory"});
        deliver();
    } catch (const std::bad_alloc&) {
        // Not even the faults fit: the lookups end unheard rather than bring the host down.
        done_.clear();
        delivering_ = nullptr;
        for (std::size_t slot = 0; slot < lookups_.size(); ++slot) {
            if (lookups_[slot].id != kNoLookup) {
                release(static_cast<std::int32_t>(slot));
            }
        }
        queue_.clear();
        queued_ = 0;
    }
    return pending() == 0 ? std::nullopt : std::optional(0ms);
}

void EngineCore::run() {
    auto wait = process();
    std::array<epoll_event, 64> events{};
    while (wait) {
        int ready = 0;
        if (epoll_.valid()) {
            ready = ::epoll_wait(
                epoll_.fd(), events.data(), events.size(),
                static_cast<int>(std::min<std::chrono::milliseconds::rep>(wait->count(), 1 << 30)));
        }
        try {
            handle({events.data(), static_cast<std::size_t>(std::max(ready, 0))}, Clock::now());
            wait = work(Clock::now());
        } catch (const std::bad_alloc&) {
            wait = recoverFromExhaustion();
        }
    }
}

}  // namespace ombrix::lookup
