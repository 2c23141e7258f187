#include "tools/bulk/bulk_lookup.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "hosterrors/numbered_error.h"
#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "tools/bulk/exchanger_status.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBatch = 64;
// The longest datagram taken whole; a longer one is asked again over TCP.
constexpr std::size_t kDatagramRoom = 4096;
constexpr std::size_t kTcpThreads = 4;
// Tag of the TCP wake-up descriptor among the sockets in the epoll set.
constexpr std::uint64_t kTcpTag = 1ULL << 32;
// Queries presumed lost leave the window but keep their place until their retry; this many
// windows' worth of domains may be under way at once.
constexpr std::size_t kFlightsPerWindow = 4;
// A reply later than this has probably been lost: the window is cut then, though the query
// is sent again only when its try's time is up.
constexpr auto kShortestLossTimeout = 50ms;
constexpr auto kFirstLossTimeout = 1s;
constexpr auto kProgressTick = 100ms;

std::system_error systemFailure(const char* what) {
    return std::system_error(errno, std::generic_category(), what);
}

// No reply within the domain's tries: the kind says it all, there is nothing to add.
lookup::Fault silence() {
    return lookup::Fault{lookup::Fault::Kind::noReply, {}};
}

std::size_t indexOf(lookup::Outcome outcome) {
    return static_cast<std::size_t>(outcome);
}

}  // namespace

BulkLookup::BulkLookup(lookup::ServerAddress server, BulkSettings settings)
    : server_(std::move(server)),
      serverText_(server_.endpointText()),
      settings_(settings),
      window_(settings.maxInFlight, std::min<std::size_t>(settings.maxInFlight, 64)),
      pacer_(settings.rate),
      tcp_(server_, kTcpThreads),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      flights_(settings.maxInFlight * kFlightsPerWindow) {
    if (!epoll_.valid()) {
        throw systemFailure("cannot open an epoll descriptor");
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kTcpTag;
    if (::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, tcp_.wakeFd(), &event) != 0) {
        throw systemFailure("cannot watch the TCP exchanges");
    }
    for (auto i = flights_.size(); i > 0; --i) {
        freeFlights_.push_back(static_cast<std::int32_t>(i - 1));
    }
    for (std::size_t i = 0; i < std::max<std::size_t>(1, settings_.sockets); ++i) {
        active_.push_back(openSocket());
    }
}

BulkLookup::~BulkLookup() = default;

std::uint16_t BulkLookup::openSocket() {
    std::uint16_t index = 0;
    if (freeSockets_.empty()) {
        index = static_cast<std::uint16_t>(sockets_.size());
        sockets_.emplace_back();
    } else {
        index = freeSockets_.back();
        freeSockets_.pop_back();
    }
    auto& entry = sockets_[index];
    entry.socket = std::make_unique<QuerySocket>(server_);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = index;
    if (::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, entry.socket->fd(), &event) != 0) {
        throw systemFailure("cannot watch a UDP socket");
    }
    return index;
}

std::uint16_t BulkLookup::pickSocket() {
    nextActive_ = (nextActive_ + 1) % active_.size();
    auto& chosen = active_[nextActive_];
    if (sockets_[chosen].socket->retired()) {
        chosen = openSocket();
    }
    return chosen;
}

void BulkLookup::closeIdleSockets() {
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        auto& entry = sockets_[i];
        const bool active = std::find(active_.begin(), active_.end(),
                                      static_cast<std::uint16_t>(i)) != active_.end();
        if (entry.socket && !active && entry.socket->idle() && entry.outbox.empty()) {
            entry.socket.reset();
            freeSockets_.push_back(static_cast<std::uint16_t>(i));
        }
    }
}

void BulkLookup::trace(Flight& flight, std::string what) {
    if (!settings_.trace) {
        return;
    }
    const auto since =
        flight.sends.empty() ? Clock::duration{} : Clock::now() - flight.sends.front().at;
    flight.report.trace.push_back(
        {std::chrono::duration_cast<std::chrono::microseconds>(since), std::move(what)});
}

void BulkLookup::start(std::string domain, BulkIo& io, Clock::time_point now) {
    auto encoded = lookup::encodeDomain(domain);
    if (!encoded) {
        DomainReport report{std::move(domain), {}, {}, {}};
        report.result.outcome = lookup::Outcome::invalidDomain;
        report.result.wire.server = serverText_;
        report.result.fault = std::move(encoded.error());
        publish(std::move(report), io);
        return;
    }
    const auto owner = takeFlight(std::move(encoded.value()), lookup::kTypeMx,
                                  DomainReport{std::move(domain), {}, {}, {}});
    send(owner, now);
}

std::int32_t BulkLookup::takeFlight(lookup::WireName qname, std::uint16_t qtype,
                                    DomainReport report) {
    const auto owner = freeFlights_.back();
    freeFlights_.pop_back();
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    flight.busy = true;
    flight.presumedLost = false;
    flight.overTcp = false;
    flight.qtype = qtype;
    flight.waiting = -1;
    flight.exchanger = 0;
    flight.report = std::move(report);
    flight.qname = std::move(qname);
    flight.message = lookup::buildQuery(0, flight.qname, qtype);
    flight.sends.clear();
    ++progress_.inFlight;
    return owner;
}

void BulkLookup::startAddress(const AddressJob& job, BulkIo& io, Clock::time_point now) {
    const auto name = waiting_[static_cast<std::size_t>(job.waiting)]
                          .report.result.exchangers[job.exchanger]
                          .name;
    auto encoded = lookup::encodeDomain(name);
    if (!encoded) {
        settleExchanger(job, {lookup::AddressStatus::malformed, {}, std::move(encoded.error())},
                        io);
        return;
    }
    const auto owner =
        takeFlight(std::move(encoded.value()), job.qtype, DomainReport{name, {}, {}, {}});
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    flight.waiting = job.waiting;
    flight.exchanger = job.exchanger;
    send(owner, now);
}

void BulkLookup::send(std::int32_t owner, Clock::time_point now) {
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    const auto socket = pickSocket();
    auto& entry = sockets_[socket];
    const auto id = entry.socket->claimId(owner, [] {
        auto drawn = lookup::randomQueryId();
        if (!drawn) {
            throw std::runtime_error(drawn.error().description);
        }
        return drawn.value();
    });
    flight.message[0] = static_cast<std::uint8_t>(id >> 8);
    flight.message[1] = static_cast<std::uint8_t>(id & 0xFF);
    flight.sends.push_back({socket, id, now, progress_.sent++});
    if (flight.sends.size() > 1) {
        ++progress_.retries;
    }
    entry.outbox.push_back(owner);
    pacer_.spend();
    const auto attempt = flight.sends.size() - 1;
    retryTimers_.push_back({now + settings_.timeout, owner, flight.generation, attempt});
    auto lossDue = now + lossTimeout();
    if (!lossTimers_.empty()) {
        lossDue = std::max(lossDue, lossTimers_.back().due);
    }
    lossTimers_.push_back({lossDue, owner, flight.generation, attempt});
    trace(flight, "sent over UDP with ID " + std::to_string(id));
}

void BulkLookup::flushOutboxes() {
    std::array<mmsghdr, kBatch> headers{};
    std::array<iovec, kBatch> pieces{};
    for (auto& entry : sockets_) {
        std::size_t sent = 0;
        while (sent < entry.outbox.size()) {
            const auto count = std::min(kBatch, entry.outbox.size() - sent);
            for (std::size_t i = 0; i < count; ++i) {
                auto& message = flights_[static_cast<std::size_t>(entry.outbox[sent + i])].message;
                pieces[i] = {message.data(), message.size()};
                headers[i] = {};
                headers[i].msg_hdr.msg_iov = &pieces[i];
                headers[i].msg_hdr.msg_iovlen = 1;
            }
            const int done =
                ::sendmmsg(entry.socket->fd(), headers.data(), static_cast<unsigned>(count), 0);
            if (done > 0) {
                sent += static_cast<std::size_t>(done);
            } else if (errno != EINTR && errno != ECONNREFUSED) {
                // Whatever could not go out is as good as lost: its retry will send it again.
                break;
            }
        }
        entry.outbox.clear();
    }
}

void BulkLookup::receive(std::uint16_t socket, BulkIo& io) {
    std::array<std::array<std::uint8_t, kDatagramRoom>, kBatch> buffers;
    std::array<mmsghdr, kBatch> headers{};
    std::array<iovec, kBatch> pieces{};
    for (;;) {
        for (std::size_t i = 0; i < kBatch; ++i) {
            pieces[i] = {buffers[i].data(), buffers[i].size()};
            headers[i] = {};
            headers[i].msg_hdr.msg_iov = &pieces[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const auto fd = sockets_[socket].socket->fd();
        const int got = ::recvmmsg(fd, headers.data(), kBatch, MSG_DONTWAIT, nullptr);
        if (got <= 0) {
            // EAGAIN: drained. ECONNREFUSED: an ICMP error reported once; the queries it
            // concerns end by their timers.
            if (got < 0 && (errno == EINTR || errno == ECONNREFUSED)) {
                continue;
            }
            return;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
            const auto length = std::min<std::size_t>(headers[i].msg_len, buffers[i].size());
            const bool cut = (headers[i].msg_hdr.msg_flags & MSG_TRUNC) != 0;
            accept(socket, std::span<const std::uint8_t>(buffers[i].data(), length), cut, io);
        }
        if (static_cast<std::size_t>(got) < kBatch) {
            return;
        }
    }
}

void BulkLookup::accept(std::uint16_t socket, std::span<const std::uint8_t> datagram, bool cut,
                        BulkIo& io) {
    const auto header = lookup::readHeader(datagram);
    const auto owner =
        header ? sockets_[socket].socket->ownerOf(header->id) : QuerySocket::kNoOwner;
    if (owner == QuerySocket::kNoOwner) {
        ++progress_.stray;
        return;
    }
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    if (flight.overTcp || !lookup::isReplyTo(datagram, header->id, flight.qname, flight.qtype)) {
        ++flight.report.result.wire.dropped;
        trace(flight, "dropped a datagram that does not answer the query");
        return;
    }
    const auto now = Clock::now();
    const auto sent = std::find_if(flight.sends.begin(), flight.sends.end(), [&](const Send& s) {
        return s.socket == socket && s.id == header->id;
    });
    noteRoundTrip(now - sent->at);
    window_.onAnswer(std::chrono::duration_cast<std::chrono::microseconds>(now - sent->at));
    auto& wire = flight.report.result.wire;
    wire.roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(now - sent->at);
    wire.replyOctets = datagram.size();
    if (cut || header->truncated) {
        trace(flight, "reply truncated; asking over TCP");
        askOverTcp(owner, now, io);
        return;
    }
    trace(flight, "reply of " + std::to_string(datagram.size()) + " octets accepted");
    complete(owner, datagram, io);
}

void BulkLookup::askOverTcp(std::int32_t owner, Clock::time_point now, BulkIo& io) {
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    const auto budgetEnd = flight.sends.front().at + settings_.timeout * settings_.tries;
    const auto left = std::min<Clock::duration>(settings_.timeout, budgetEnd - now);
    const auto budget = std::chrono::duration_cast<std::chrono::milliseconds>(left);
    if (budget <= 0ms) {
        giveUp(owner, silence(), io);
        return;
    }
    flight.overTcp = true;
    flight.report.result.wire.transport = lookup::Transport::tcp;
    flight.report.result.wire.truncated = true;
    if (flight.presumedLost) {
        flight.presumedLost = false;
        --presumedLost_;
    }
    lookup::PendingQuery query{flight.sends.back().id, flight.qname, flight.message, flight.qtype};
    tcp_.submit({owner, flight.generation, std::move(query), budget});
}

void BulkLookup::collectTcp(BulkIo& io) {
    for (auto& done : tcp_.collect()) {
        auto& flight = flights_[static_cast<std::size_t>(done.owner)];
        if (!flight.busy || flight.generation != done.generation) {
            continue;
        }
        auto& wire = flight.report.result.wire;
        const auto& exchanged = done.exchange;
        wire.roundTrip = exchanged.wire.roundTrip;
        wire.replyOctets = exchanged.wire.replyOctets;
        wire.dropped += exchanged.wire.dropped;
        wire.tries = exchanged.wire.tries;
        progress_.sent += static_cast<std::uint64_t>(exchanged.wire.tries);
        if (!exchanged.reply) {
            trace(flight, "TCP exchange failed: " + host::hostDescription(exchanged.reply.error()));
            giveUp(done.owner, exchanged.reply.error(), io);
            continue;
        }
        if (exchanged.wire.transport != lookup::Transport::tcp) {
            // The server answered in full this time: the reply is as good.
            wire.transport = lookup::Transport::udp;
            wire.truncated = false;
        }
        trace(flight, "reply of " + std::to_string(exchanged.reply->size()) + " octets over " +
                          (wire.transport == lookup::Transport::tcp ? "TCP" : "UDP"));
        complete(done.owner, *exchanged.reply, io);
    }
}

bool BulkLookup::live(const Timer& timer) const {
    const auto& flight = flights_[static_cast<std::size_t>(timer.owner)];
    return flight.busy && flight.generation == timer.generation && !flight.overTcp &&
           flight.sends.size() == timer.attempt + 1;
}

void BulkLookup::expireTimers(Clock::time_point now, BulkIo& io) {
    while (!lossTimers_.empty() && lossTimers_.front().due <= now) {
        const auto timer = lossTimers_.front();
        lossTimers_.pop_front();
        auto& flight = flights_[static_cast<std::size_t>(timer.owner)];
        if (live(timer) && !flight.presumedLost) {
            flight.presumedLost = true;
            ++presumedLost_;
            window_.onLoss(flight.sends.back().number, progress_.sent);
        }
    }
    while (!retryTimers_.empty() && retryTimers_.front().due <= now) {
        const auto timer = retryTimers_.front();
        retryTimers_.pop_front();
        if (!live(timer)) {
            continue;
        }
        auto& flight = flights_[static_cast<std::size_t>(timer.owner)];
        trace(flight, "no reply within the try's time");
        if (flight.presumedLost) {
            flight.presumedLost = false;
            --presumedLost_;
        }
        if (flight.sends.size() < static_cast<std::size_t>(settings_.tries)) {
            send(timer.owner, now);
        } else {
            giveUp(timer.owner, silence(), io);
        }
    }
}

void BulkLookup::giveUp(std::int32_t owner, lookup::Fault fault, BulkIo& io) {
    if (flights_[static_cast<std::size_t>(owner)].qtype != lookup::kTypeMx) {
        finishAddress(owner, {lookup::AddressStatus::noReply, {}, std::move(fault)}, io);
        return;
    }
    lookup::MxResult result;
    result.outcome = lookup::Outcome::noReply;
    result.fault = std::move(fault);
    finish(owner, std::move(result), io);
}

void BulkLookup::complete(std::int32_t owner, std::span<const std::uint8_t> reply, BulkIo& io) {
    const auto& flight = flights_[static_cast<std::size_t>(owner)];
    if (flight.qtype == lookup::kTypeMx) {
        finish(owner, lookup::readMxReply(reply, flight.qname), io);
    } else {
        finishAddress(owner, lookup::readAddressReply(reply, flight.qname, flight.qtype), io);
    }
}

void BulkLookup::release(std::int32_t owner) {
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    for (const auto& sent : flight.sends) {
        sockets_[sent.socket].socket->releaseId(sent.id);
    }
    if (flight.presumedLost) {
        --presumedLost_;
    }
    --progress_.inFlight;
    flight.busy = false;
    ++flight.generation;
    freeFlights_.push_back(owner);
}

void BulkLookup::finish(std::int32_t owner, lookup::MxResult result, BulkIo& io) {
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    const auto wire = flight.report.result.wire;
    result.wire = wire;
    result.wire.server = serverText_;
    // The sends of the event loop, and those of the fallback exchange if there was one.
    result.wire.tries = static_cast<int>(flight.sends.size()) + wire.tries;
    result.query = lookup::toPresentation(flight.qname);
    flight.report.result = std::move(result);
    release(owner);
    deliver(std::move(flight.report), io);
}

void BulkLookup::finishAddress(std::int32_t owner, lookup::AddressResult result, BulkIo& io) {
    auto& flight = flights_[static_cast<std::size_t>(owner)];
    const AddressJob job{flight.waiting, flight.exchanger, flight.qtype};
    auto& events = waiting_[static_cast<std::size_t>(job.waiting)].report.trace;
    const std::string asked =
        (job.qtype == lookup::kTypeA ? "A " : "AAAA ") + flight.report.domain + ": ";
    for (auto& event : flight.report.trace) {
        events.push_back({event.at, asked + event.what});
    }
    release(owner);
    settleExchanger(job, result, io);
}

// A domain's MX answer is in: its line goes out now, or once every exchanger without
// addresses has its own answers.
void BulkLookup::deliver(DomainReport&& report, BulkIo& io) {
    auto& exchangers = report.result.exchangers;
    if (!settings_.addresses || exchangers.empty()) {
        publish(std::move(report), io);
        return;
    }
    std::int32_t slot = 0;
    if (freeWaiting_.empty()) {
        slot = static_cast<std::int32_t>(waiting_.size());
        waiting_.emplace_back();
    } else {
        slot = freeWaiting_.back();
        freeWaiting_.pop_back();
    }
    std::size_t outstanding = 0;
    report.addressStatus.assign(exchangers.size(), lookup::AddressStatus::noAddress);
    for (std::size_t i = 0; i < exchangers.size(); ++i) {
        if (lookup::isAddressLiteral(exchangers[i].name)) {
            report.addressStatus[i] = lookup::AddressStatus::addressLiteral;
        } else if (!exchangers[i].ipv4.empty() || !exchangers[i].ipv6.empty()) {
            report.addressStatus[i] = lookup::AddressStatus::found;
        } else {
            addressJobs_.push_back({slot, i, lookup::kTypeA});
            addressJobs_.push_back({slot, i, lookup::kTypeAaaa});
            outstanding += 2;
        }
    }
    if (outstanding == 0) {
        freeWaiting_.push_back(slot);
        publish(std::move(report), io);
        return;
    }
    waiting_[static_cast<std::size_t>(slot)] = Waiting{std::move(report), outstanding};
}

void BulkLookup::settleExchanger(const AddressJob& job, const lookup::AddressResult& result,
                                 BulkIo& io) {
    auto& waiting = waiting_[static_cast<std::size_t>(job.waiting)];
    auto& exchanger = waiting.report.result.exchangers[job.exchanger];
    auto& addresses = job.qtype == lookup::kTypeA ? exchanger.ipv4 : exchanger.ipv6;
    addresses.insert(addresses.end(), result.addresses.begin(), result.addresses.end());
    auto& status = waiting.report.addressStatus[job.exchanger];
    status = combinedStatus(status, result.status);
    if (--waiting.outstanding == 0) {
        freeWaiting_.push_back(job.waiting);
        publish(std::move(waiting.report), io);
    }
}

void BulkLookup::publish(DomainReport&& report, BulkIo& io) {
    ++progress_.done;
    ++progress_.outcomes[indexOf(report.result.outcome)];
    io.report(std::move(report));
}

void BulkLookup::noteRoundTrip(Clock::duration sample) {
    if (!smoothedRtt_) {
        smoothedRtt_ = sample;
        rttVariation_ = sample / 2;
        return;
    }
    const auto error = sample > *smoothedRtt_ ? sample - *smoothedRtt_ : *smoothedRtt_ - sample;
    rttVariation_ = (rttVariation_ * 3 + error) / 4;
    smoothedRtt_ = (*smoothedRtt_ * 7 + sample) / 8;
}

BulkLookup::Clock::duration BulkLookup::lossTimeout() const {
    const Clock::duration ceiling = settings_.timeout;
    if (!smoothedRtt_) {
        return std::min<Clock::duration>(ceiling, kFirstLossTimeout);
    }
    return std::clamp<Clock::duration>(*smoothedRtt_ + 4 * rttVariation_, kShortestLossTimeout,
                                       std::max<Clock::duration>(ceiling, kShortestLossTimeout));
}

// Exchangers' address queries go first: they hold finished domains back.
void BulkLookup::startDomains(BulkIo& io, Clock::time_point now) {
    while (!freeFlights_.empty() && progress_.inFlight - presumedLost_ < window_.size() &&
           pacer_.mayStart(now)) {
        if (!addressJobs_.empty()) {
            const auto job = addressJobs_.front();
            addressJobs_.pop_front();
            startAddress(job, io, now);
            continue;
        }
        if (sourceDone_) {
            return;
        }
        auto domain = io.nextDomain();
        if (!domain) {
            sourceDone_ = true;
            return;
        }
        start(std::move(*domain), io, now);
    }
}

int BulkLookup::waitMilliseconds(Clock::time_point now) const {
    auto until = now + kProgressTick;
    for (const auto* timers : {&retryTimers_, &lossTimers_}) {
        if (!timers->empty()) {
            until = std::min(until, timers->front().due);
        }
    }
    const bool moreToStart = !sourceDone_ || !addressJobs_.empty();
    if (moreToStart && progress_.inFlight - presumedLost_ < window_.size()) {
        if (const auto paced = pacer_.nextAllowed()) {
            until = std::min(until, *paced);
        }
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
}

bool BulkLookup::run(BulkIo& io) {
    std::array<epoll_event, 16> events{};
    for (;;) {
        auto now = Clock::now();
        expireTimers(now, io);
        startDomains(io, now);
        flushOutboxes();
        closeIdleSockets();
        progress_.window = window_.size();
        progress_.windowCuts = window_.cuts();
        io.progress(progress_);
        if (!io.flush()) {
            return false;
        }
        if (sourceDone_ && progress_.inFlight == 0 && addressJobs_.empty()) {
            return true;
        }
        const int ready = ::epoll_wait(epoll_.fd(), events.data(), static_cast<int>(events.size()),
                                       waitMilliseconds(Clock::now()));
        for (int i = 0; i < ready; ++i) {
            const auto tag = events[static_cast<std::size_t>(i)].data.u64;
            if (tag == kTcpTag) {
                collectTcp(io);
            } else if (sockets_[tag].socket) {
                receive(static_cast<std::uint16_t>(tag), io);
            }
        }
    }
}

}  // namespace ombrix::tools
