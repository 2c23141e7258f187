#include "tools/bulk/bulk_lookup.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "ombrix/lookup/query_message.h"
#include "tools/bulk/exchanger_status.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

constexpr auto kProgressTick = 100ms;

std::size_t indexOf(lookup::Outcome outcome) {
    return static_cast<std::size_t>(outcome);
}

lookup::EngineSettings engineSettings(const BulkSettings& settings) {
    lookup::EngineSettings engine;
    engine.maxInFlight = settings.maxInFlight;
    return engine;
}

std::optional<double> serverRate(const BulkSettings& settings, std::size_t server) {
    return server < settings.serverRates.size() ? settings.serverRates[server] : std::nullopt;
}

std::vector<PoolServer> poolServers(const std::vector<lookup::ServerAddress>& servers,
                                    const BulkSettings& settings) {
    std::vector<PoolServer> pool;
    for (std::size_t i = 0; i < servers.size(); ++i) {
        pool.push_back({servers[i].endpointText(), serverRate(settings, i)});
    }
    return pool;
}

// A run of one server has no pool: the server's own rate bounds the run's.
std::optional<double> runRate(const BulkSettings& settings, std::size_t servers) {
    const auto own = servers == 1 ? serverRate(settings, 0) : std::nullopt;
    if (settings.rate && own) {
        return std::min(*settings.rate, *own);
    }
    return settings.rate ? settings.rate : own;
}

}  // namespace

BulkLookup::BulkLookup(const lookup::ServerAddress& server, BulkSettings settings)
    : BulkLookup(std::vector{server}, settings) {}

BulkLookup::BulkLookup(const std::vector<lookup::ServerAddress>& servers, BulkSettings settings)
    : settings_(settings),
      pool_(poolServers(servers, settings), settings.timeout, settings.timeout * settings.tries,
            settings.maxInFlight),
      engine_(engineSettings(settings)),
      pacer_(runRate(settings, servers.size())),
      addressCache_(settings.addressCacheEntries) {}

lookup::LookupRequest BulkLookup::request(std::string domain, std::string server) const {
    lookup::LookupRequest request;
    request.server = std::move(server);
    request.domain = std::move(domain);
    request.timeout = settings_.timeout;
    request.tries = settings_.tries;
    request.trace = settings_.trace;
    return request;
}

std::size_t BulkLookup::startDomains(BulkIo& io, Clock::time_point now) {
    std::size_t started = 0;
    while (mayStartDomain(now)) {
        auto domain = io.nextDomain();
        if (!domain) {
            break;
        }
        pacer_.spend();
        ++started;
        const auto order = given_++;
        unreported_.emplace_hint(unreported_.end(), order, std::move(*domain));
        if (settings_.security) {
            startSecurity(order, io);
        } else {
            startMx(order, io);
        }
    }
    return started;
}

bool BulkLookup::mayStartDomain(Clock::time_point now) {
    return engine_.hasRoom() && (pool_.size() == 1 || pool_.hasRoom(now)) && pacer_.mayStart(now);
}

// One server: the engine tries it as often as the domain may. Several: one try at a time.
void BulkLookup::startMx(std::uint64_t order, BulkIo& io) {
    if (pool_.size() > 1) {
        attempts_.emplace(order,
                          Attempt{std::vector<bool>(pool_.size()), 0, Clock::now(), {}, {}, {}});
        tryElsewhere(order, io, false);
        return;
    }
    engine_.submitMx(request(unreported_.at(order), pool_.name(0)), [this, &io, order](
                                                                        lookup::MxResult&& result) {
        DomainReport report{unreported_.at(order), std::move(result), {}, {}, false, {}};
        report.trace = std::move(report.result.wire.trace);
        deliver(std::move(report), order, io);
    });
}

void BulkLookup::tryElsewhere(std::uint64_t order, BulkIo& io, bool retry) {
    auto& attempt = attempts_.at(order);
    const auto now = Clock::now();
    const auto server = pool_.choose(attempt.tried, now, retry);
    if (!server) {
        lookup::MxResult result;
        result.wire.server = attempt.lastServer;
        result.fault = lookup::Fault{lookup::Fault::Kind::noReply,
                                     "every server has been set aside for longer than a "
                                     "domain's time, none answering"};
        finishAttempt(order, std::move(result), io, true);
        return;
    }
    attempt.tried[*server] = true;
    auto single = request(unreported_.at(order), pool_.name(*server));
    single.tries = 1;
    engine_.submitMx(single, [this, &io, order, server = *server, now](lookup::MxResult&& result) {
        tryDone(order, server, now, std::move(result), io);
    });
}

void BulkLookup::tryDone(std::uint64_t order, std::size_t server, Clock::time_point sentAt,
                         lookup::MxResult&& result, BulkIo& io) {
    auto& attempt = attempts_.at(order);
    if (pool_.finished(server, result.outcome, result.wire.roundTrip, Clock::now(), sentAt)) {
        attempt.held.push_back(server);
    }
    attempt.tries += result.wire.tries;
    attempt.lastServer = pool_.name(server);
    const auto offset =
        std::chrono::duration_cast<std::chrono::microseconds>(sentAt - attempt.firstSent);
    for (auto& event : result.wire.trace) {
        attempt.trace.push_back({event.at + offset, "@" + pool_.name(server) + " " + event.what});
    }
    const bool final = !result.temporary() || result.outcome == lookup::Outcome::invalidDomain;
    if (final || attempt.tries >= settings_.tries) {
        finishAttempt(order, std::move(result), io);
    } else {
        ++retriesElsewhere_;
        tryElsewhere(order, io, true);
    }
}

void BulkLookup::finishAttempt(std::uint64_t order, lookup::MxResult&& result, BulkIo& io,
                               bool serversAside) {
    auto attempt = std::move(attempts_.at(order));
    attempts_.erase(order);
    // Another server answered what these failed: theirs was the fault, not the domain's.
    if (!result.temporary()) {
        for (const auto server : attempt.held) {
            pool_.blame(server, Clock::now());
        }
    }
    result.wire.tries = attempt.tries;
    DomainReport report{unreported_.at(order),    std::move(result), {},
                        std::move(attempt.trace), serversAside,      {}};
    deliver(std::move(report), order, io);
}

// Every mail-security question of one domain, of the one server such a run has.
void BulkLookup::startSecurity(std::uint64_t order, BulkIo& io) {
    lookup::submitMailSecurity(
        engine_, request(unreported_.at(order), pool_.name(0)),
        [this, &io, order](lookup::MailSecurity&& found) {
            DomainReport report{unreported_.at(order), std::move(found.mx), {}, {}, false, {}};
            report.trace = std::move(report.result.wire.trace);
            report.security = std::move(found);
            publish(std::move(report), order, io);
        });
}

lookup::ValidationCheck BulkLookup::checkValidating(const std::string& validatedName) {
    return lookup::checkValidatingServer(engine_, request(validatedName, pool_.name(0)));
}

// A domain's MX answer is in: its line goes out now, or once every exchanger without
// addresses has its own answers.
void BulkLookup::deliver(DomainReport&& report, std::uint64_t order, BulkIo& io) {
    auto& exchangers = report.result.exchangers;
    if (!settings_.addresses || exchangers.empty()) {
        publish(std::move(report), order, io);
        return;
    }
    std::vector<std::size_t> unresolved;
    report.addressStatus.assign(exchangers.size(), lookup::AddressStatus::noAddress);
    for (std::size_t i = 0; i < exchangers.size(); ++i) {
        if (lookup::isAddressLiteral(exchangers[i].name)) {
            report.addressStatus[i] = lookup::AddressStatus::addressLiteral;
        } else if (!exchangers[i].ipv4.empty() || !exchangers[i].ipv6.empty()) {
            report.addressStatus[i] = lookup::AddressStatus::found;
        } else {
            unresolved.push_back(i);
        }
    }
    if (unresolved.empty()) {
        publish(std::move(report), order, io);
        return;
    }
    std::size_t slot = waiting_.size();
    if (freeWaiting_.empty()) {
        waiting_.emplace_back();
    } else {
        slot = freeWaiting_.back();
        freeWaiting_.pop_back();
    }
    ++waitingCount_;
    waiting_[slot] = Waiting{std::move(report), order, unresolved.size() * 2};
    for (const auto exchanger : unresolved) {
        askAddresses(slot, exchanger, lookup::kTypeA, io);
        askAddresses(slot, exchanger, lookup::kTypeAaaa, io);
    }
}

// From the cache when an answer is kept, by joining a lookup of the same name in flight, or
// by asking.
void BulkLookup::askAddresses(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                              BulkIo& io) {
    const auto name = waiting_[slot].report.result.exchangers[exchanger].name;
    if (const auto* kept = addressCache_.find(name, type, Clock::now())) {
        lookup::AddressAnswer answer;
        answer.result.status = kept->status;
        answer.result.addresses = kept->addresses;
        if (settings_.trace) {
            const auto& trace = waiting_[slot].report.trace;
            answer.wire.trace.push_back(
                {trace.empty() ? std::chrono::microseconds{0} : trace.back().at, "from the cache"});
        }
        settleExchanger(slot, exchanger, type, answer, io);
        return;
    }
    if (addressCache_.join(name, type, {slot, exchanger})) {
        return;
    }
    ++progress_.addressLookups;
    engine_.submitAddress(request(name, waiting_[slot].report.result.wire.server), type,
                          [this, &io, name, type](lookup::AddressAnswer&& answer) {
                              const auto waiters =
                                  addressCache_.settle(name, type, answer.result, Clock::now());
                              for (const auto& waiter : waiters) {
                                  settleExchanger(waiter.slot, waiter.exchanger, type, answer, io);
                              }
                          });
}

void BulkLookup::settleExchanger(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                                 const lookup::AddressAnswer& answer, BulkIo& io) {
    auto& waiting = waiting_[slot];
    auto& host = waiting.report.result.exchangers[exchanger];
    const std::string asked = (type == lookup::kTypeA ? "A " : "AAAA ") + host.name + ": ";
    for (auto& event : answer.wire.trace) {
        waiting.report.trace.push_back({event.at, asked + event.what});
    }
    auto& addresses = type == lookup::kTypeA ? host.ipv4 : host.ipv6;
    const auto& found = answer.result.addresses;
    addresses.insert(addresses.end(), found.begin(), found.end());
    auto& status = waiting.report.addressStatus[exchanger];
    status = combinedStatus(status, answer.result.status);
    if (--waiting.outstanding == 0) {
        freeWaiting_.push_back(slot);
        --waitingCount_;
        publish(std::move(waiting.report), waiting.order, io);
    }
}

void BulkLookup::publish(DomainReport&& report, std::uint64_t order, BulkIo& io) {
    unreported_.erase(order);
    ++progress_.done;
    ++progress_.outcomes[indexOf(report.result.outcome)];
    if (report.security) {
        progress_.security = true;
        ++progress_.verdicts[static_cast<std::size_t>(report.security->dane)];
        ++progress_.mtaSts[static_cast<std::size_t>(report.security->mtaSts.status)];
    }
    io.report(std::move(report));
}

int BulkLookup::waitMilliseconds(std::optional<std::chrono::milliseconds> engineWait,
                                 BulkIo& io) {
    auto wait =
        std::min<std::chrono::milliseconds>(engineWait.value_or(kProgressTick), kProgressTick);
    if (engine_.hasRoom() && !io.listOver()) {
        const auto now = Clock::now();
        for (const auto paced :
             {pacer_.nextAllowed(), pool_.size() > 1 ? pool_.nextAllowed(now) : std::nullopt}) {
            if (paced) {
                wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*paced - now));
            }
        }
    }
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
}

// Waits for the engine, and for the list when more domains could start now.
void BulkLookup::wait(int milliseconds, BulkIo& io) {
    std::array<pollfd, 2> watched{};
    nfds_t count = 0;
    if (engine_.fd() >= 0) {
        watched[count++] = {engine_.fd(), POLLIN, 0};
    }
    std::optional<nfds_t> list;
    if (io.listFd() >= 0 && mayStartDomain(Clock::now())) {
        list = count;
        watched[count++] = {io.listFd(), POLLIN, 0};
    }
    if (::poll(watched.data(), count, milliseconds) > 0 && list && watched[*list].revents != 0) {
        io.readList();
    }
}

bool BulkLookup::run(BulkIo& io) {
    for (;;) {
        if (io.stopRequested()) {
            stopped_ = true;
            return io.flush();
        }
        startDomains(io, Clock::now());
        const auto engineWait = engine_.process();
        const auto counters = engine_.counters();
        progress_.inFlight = counters.inFlight + waitingCount_;
        progress_.window = counters.window;
        progress_.windowCuts = counters.windowCuts;
        progress_.sent = counters.sent;
        progress_.retries = counters.retries + retriesElsewhere_;
        progress_.stray = counters.stray;
        progress_.addressLookupsSaved = addressCache_.saved();
        io.progress(progress_);
        if (!io.flush()) {
            return false;
        }
        if (io.listOver() && engine_.pending() == 0 && waitingCount_ == 0) {
            return true;
        }
        // Answers may have made room: domains started now go out on the next turn.
        if (startDomains(io, Clock::now()) == 0) {
            wait(waitMilliseconds(engineWait, io), io);
        }
    }
}

std::string BulkLookup::serverSummary() const {
    return pool_.size() > 1 ? pool_.summary(Clock::now()) : std::string();
}

std::vector<std::string> BulkLookup::unfinished() const {
    std::vector<std::string> domains;
    domains.reserve(unreported_.size());
    for (const auto& [order, domain] : unreported_) {
        domains.push_back(domain);
    }
    return domains;
}

}  // namespace ombrix::tools
