#include "engine/engine_core.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <new>
#include <system_error>

#include "engine/typed_result.h"
#include "exchange_errors.h"
#include "server_resolution.h"

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

constexpr std::size_t kFirstWindow = 64;
// A reply later than this has probably been lost: the window is cut then, though the query
// is sent again only when its try's time is up.
constexpr auto kShortestLossTimeout = 50ms;
constexpr auto kFirstLossTimeout = 1s;

AdaptiveWindow firstWindow(const EngineSettings& settings) {
    return AdaptiveWindow(std::max<std::size_t>(settings.maxInFlight, 1),
                          settings.adaptiveWindow ? std::min(settings.maxInFlight, kFirstWindow)
                                                  : settings.maxInFlight);
}

}  // namespace

EngineCore::EngineCore(EngineSettings settings)
    : settings_(settings),
      window_(firstWindow(settings)),
      receiveBatch_(std::clamp<std::size_t>(settings.maxInFlight, 1, kBatch)) {}

int EngineCore::fd() {
    ensureEpoll();
    return epoll_.fd();
}

// The epoll set comes when a second descriptor needs watching or a caller asks for it: a run
// of one UDP lookup waits in poll on its socket, and saves the set's three system calls.
bool EngineCore::ensureEpoll() {
    if (epoll_.valid() || failure_) {
        return epoll_.valid();
    }
    epoll_ = SocketHandle(::epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_.valid()) {
        failure_ =
            Fault{Fault::Kind::sendFailed, "Cannot start the lookup engine: no epoll descriptor: " +
                                               std::generic_category().message(errno)};
        return false;
    }
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        if (sockets_[i].socket) {
            watch(sockets_[i].socket->fd(), EPOLLIN, i);
        }
    }
    for (std::size_t slot = 0; slot < lookups_.size(); ++slot) {
        if (lookups_[slot].id != kNoLookup && lookups_[slot].tcp) {
            const auto index = static_cast<std::int32_t>(slot);
            watch(lookups_[slot].tcp->fd(), lookups_[slot].tcp->events(), tcpTag(index));
        }
    }
    return true;
}

bool EngineCore::watch(int fd, std::uint32_t events, std::uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    return ::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, fd, &event) == 0;
}

int EngineCore::soleSocket() const {
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        if (sockets_[i].socket) {
            return static_cast<int>(i);
        }
    }
    return -1;
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

std::optional<std::uint32_t> EngineCore::knownServer(const std::string& setting) const {
    if (serverIndex_.empty()) {
        for (std::size_t i = 0; i < servers_.size(); ++i) {
            if (servers_[i].address.setting == setting) {
                return static_cast<std::uint32_t>(i);
            }
        }
        return std::nullopt;
    }
    const auto known = serverIndex_.find(setting);
    return known == serverIndex_.end() ? std::nullopt : std::optional(known->second);
}

Expected<std::uint32_t, Fault> EngineCore::serverFor(const std::string& setting, Lookup& lookup) {
    if (const auto known = knownServer(setting)) {
        return *known;
    }
    // Finding a new server (a host name may be looked up) takes from the lookup's budget.
    const auto began = Clock::now();
    auto added = addServer(setting, began + budgetOf(lookup));
    lookup.resolving = Clock::now() - began;
    return added;
}

Expected<std::uint32_t, Fault> EngineCore::addServer(const std::string& setting,
                                                     Clock::time_point deadline) {
    auto resolved = resolveServerSetting(setting, deadline);
    if (!resolved) {
        return Unexpected(std::move(resolved.error()));
    }
    auto endpoint = resolved->address.endpointText();
    servers_.push_back(Server{std::move(resolved->address), std::move(endpoint), {}, 0, false,
                              resolved->lookedUp});
    // A run mostly asks one server or a handful, found in order; a long list gets an index.
    constexpr std::size_t kServersFoundInOrder = 8;
    if (servers_.size() > kServersFoundInOrder) {
        for (auto i = serverIndex_.size(); i < servers_.size(); ++i) {
            serverIndex_.emplace(servers_[i].address.setting, static_cast<std::uint32_t>(i));
        }
    }
    return static_cast<std::uint32_t>(servers_.size() - 1);
}

LookupId EngineCore::submit(const LookupRequest& request, std::uint16_t type, Completion done) {
    const auto slot = takeSlot();
    auto& lookup = at(slot);
    // The sequence goes on from the slot's last lookup, so none of its timers can fire here.
    const auto seq = lookup.timerSeq + 1;
    // Built afresh where it stands, rather than assigned from a fresh one member by member.
    std::destroy_at(&lookup);
    std::construct_at(&lookup);
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
        start(slot, request);
    } catch (const std::bad_alloc&) {
        if (at(slot).id == id) {
            release(slot);
        }
        return kNoLookup;
    }
    return id;
}

void EngineCore::start(std::int32_t slot, const LookupRequest& request) {
    auto& lookup = at(slot);
    auto qname = queryName(request.domain, lookup.qtype);
    auto server = serverFor(request.server, lookup);
    if (server) {
        lookup.server = server.value();
        lookup.wire.server = servers_[server.value()].endpoint;
    }
    if (server && failure_) {
        server = Unexpected(*failure_);
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
            if (delivery.id == id) {
                delivery.id = kNoLookup;
                return true;
            }
        }
    }
    return false;
}

bool EngineCore::hasRoom() const {
    return occupying() + queued_ < window_.size();
}

EngineCounters EngineCore::counters() const {
    auto counters = counters_;
    counters.inFlight = pending();
    counters.window = window_.size();
    counters.windowCuts = window_.cuts();
    return counters;
}

void EngineCore::addTraceLine(Lookup& lookup, std::string what) {
    const auto since = lookup.udpSends == 0 ? Clock::duration{} : Clock::now() - lookup.firstSend;
    lookup.wire.trace.push_back(
        {std::chrono::duration_cast<std::chrono::microseconds>(since), std::move(what)});
}

void EngineCore::arm(std::int32_t slot, Clock::time_point due, TimerKind kind) {
    timers_.push_back({due, slot, at(slot).timerSeq, kind});
    std::push_heap(timers_.begin(), timers_.end(), std::greater<>{});
}

void EngineCore::admit(Clock::time_point now) {
    while (queueHead_ < queue_.size() && occupying() < window_.size()) {
        const auto [slot, id] = queue_[queueHead_++];
        auto& lookup = at(slot);
        if (lookup.id != id) {
            continue;
        }
        --queued_;
        ++admitted_;
        lookup.stage = Stage::udp;
        lookup.firstSend = now;
        lookup.deadline =
            now + budgetOf(lookup) - std::chrono::duration_cast<Clock::duration>(lookup.resolving);
        sendUdp(slot, now);
    }
    // The admitted front goes once it is the larger part, so the queue neither grows for ever
    // nor moves on every admission.
    if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    } else if (queueHead_ > queue_.size() / 2) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_));
        queueHead_ = 0;
    }
}

void EngineCore::startOver() {
    clearQueue();
    sockets_.clear();
    freeSockets_.clear();
    timers_.clear();
    epoll_ = SocketHandle();
    failure_.reset();
    counters_ = EngineCounters{};
    smoothedRtt_.reset();
    rttVariation_ = {};
    window_ = firstWindow(settings_);
    // Servers written as addresses are kept, a few at most; a host name is looked up again.
    constexpr std::size_t kServersKept = 8;
    std::erase_if(servers_, [](const Server& server) { return server.lookedUp; });
    if (servers_.size() > kServersKept) {
        servers_.clear();
    }
    serverIndex_.clear();
    for (auto& server : servers_) {
        server.sockets.clear();
        server.next = 0;
        server.refusesEdns = false;
    }
}

void EngineCore::clearQueue() {
    queue_.clear();
    queueHead_ = 0;
    queued_ = 0;
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
                                       budgetOf(lookup))));
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
    if (auto* const* target = std::get_if<MxResult*>(&completion)) {
        // Memory running out half way leaves a plain fault there, not half a result.
        try {
            readMxEnding(**target, std::move(ending), qname, std::move(wire));
        } catch (const std::bad_alloc&) {
            **target = MxResult{};
            (*target)->fault = outOfMemoryFault();
        }
        return;
    }
    // The answer is read where it waits for its callback, so that it is not moved on the way.
    auto& delivery = done_.emplace_back();
    try {
        switch (completion.index()) {
        case 0:
            readMxEnding(std::get<MxResult>(delivery.answer), std::move(ending), qname,
                         std::move(wire));
            break;
        case 1:
            delivery.answer = addressAnswerOf(std::move(ending), qname, qtype, std::move(wire));
            break;
        default:
            delivery.answer = recordAnswerOf(std::move(ending), std::move(wire));
            break;
        }
    } catch (...) {
        done_.pop_back();
        throw;
    }
    delivery.id = id;
    delivery.completion = std::move(completion);
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
    // The batch's storage goes back to done_ afterwards: a wide run delivers thousands of
    // batches, and a vector grown from nothing for each is a stream of allocations.
    auto batch = std::move(spare_);
    batch.clear();
    batch.swap(done_);
    delivering_ = &batch;
    for (auto& delivery : batch) {
        if (delivery.id != kNoLookup) {
            delivery.id = kNoLookup;
            call(delivery);
        }
    }
    delivering_ = nullptr;
    batch.clear();
    spare_ = std::move(batch);
}

void EngineCore::call(Delivery& delivery) {
    auto& answer = delivery.answer;
    switch (delivery.completion.index()) {
    case 0:
        std::get<0>(delivery.completion)(std::move(std::get<MxResult>(answer)));
        break;
    case 1:
        std::get<1>(delivery.completion)(std::move(std::get<AddressAnswer>(answer)));
        break;
    default:
        std::get<2>(delivery.completion)(std::move(std::get<RecordAnswer>(answer)));
        break;
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
    clearQueue();
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

template <class Step>
std::optional<std::chrono::milliseconds> EngineCore::guarded(Step&& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return recoverFromExhaustion();
    }
}

std::optional<std::chrono::milliseconds> EngineCore::process() {
    return guarded([this] {
        if (!ensureEpoll()) {
            failEverything(*failure_);
        } else {
            std::array<epoll_event, 64> events{};
            const int ready =
                ::epoll_wait(epoll_.fd(), events.data(), static_cast<int>(events.size()), 0);
            handle({events.data(), static_cast<std::size_t>(std::max(ready, 0))}, Clock::now());
        }
        return work(Clock::now());
    });
}

// Memory ran out half way through a step: every lookup ends with that fault, so that each
// caller still hears of each of its lookups.
std::optional<std::chrono::milliseconds> EngineCore::recoverFromExhaustion() {
    try {
        failEverything(outOfMemoryFault());
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
        clearQueue();
    }
    return pending() == 0 ? std::nullopt : std::optional(0ms);
}

// As process(), but waiting between steps: in epoll_wait, or without a set (one UDP socket
// and no TCP) in the receive on that socket when it blocks, else in poll on it, so that
// nothing is asked of the system that a run of one lookup does not need.
void EngineCore::run() {
    auto wait = guarded([this] { return work(Clock::now()); });
    std::array<epoll_event, 64> events{};
    while (wait) {
        const int milliseconds =
            static_cast<int>(std::min<std::chrono::milliseconds::rep>(wait->count(), 1 << 30));
        if (epoll_.valid()) {
            const int ready = ::epoll_wait(epoll_.fd(), events.data(),
                                           static_cast<int>(events.size()), milliseconds);
            wait = guarded([&] {
                handle({events.data(), static_cast<std::size_t>(std::max(ready, 0))}, Clock::now());
                return work(Clock::now());
            });
            continue;
        }
        const int sole = soleSocket();
        if (sole >= 0 && sockets_[static_cast<std::size_t>(sole)].socket->blocking()) {
            wait = guarded([&] { return work(receiveWithin(sole, *wait)); });
            continue;
        }
        pollfd watched{sole >= 0 ? sockets_[static_cast<std::size_t>(sole)].socket->fd() : -1,
                       POLLIN, 0};
        const int ready = ::poll(&watched, 1, milliseconds);
        wait = guarded([&] {
            if (ready > 0) {
                receive(sole, Clock::now());
            }
            return work(Clock::now());
        });
    }
}

}  // namespace ombrix::lookup
