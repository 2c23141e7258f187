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

}  // namespace

BulkLookup::BulkLookup(const lookup::ServerAddress& server, BulkSettings settings)
    : server_(server.endpointText()),
      settings_(settings),
      engine_(engineSettings(settings)),
      pacer_(settings.rate) {}

lookup::LookupRequest BulkLookup::request(std::string domain) const {
    lookup::LookupRequest request;
    request.server = server_;
    request.domain = std::move(domain);
    request.timeout = settings_.timeout;
    request.tries = settings_.tries;
    request.trace = settings_.trace;
    return request;
}

std::size_t BulkLookup::startDomains(BulkIo& io, Clock::time_point now) {
    std::size_t started = 0;
    while (engine_.hasRoom() && pacer_.mayStart(now)) {
        auto domain = io.nextDomain();
        if (!domain) {
            break;
        }
        pacer_.spend();
        ++started;
        startDomain(std::move(*domain), io);
    }
    return started;
}

void BulkLookup::startDomain(std::string domain, BulkIo& io) {
    if (settings_.security) {
        lookup::submitMailSecurity(engine_, request(domain),
                                   [this, &io, domain](lookup::MailSecurity&& found) {
                                       DomainReport report{domain, std::move(found.mx), {}, {}, {}};
                                       report.trace = std::move(report.result.wire.trace);
                                       report.security = std::move(found);
                                       publish(std::move(report), io);
                                   });
        return;
    }
    const auto request = this->request(domain);
    engine_.submitMx(request, [this, &io, domain = std::move(domain)](lookup::MxResult&& result) {
        DomainReport report{domain, std::move(result), {}, {}, {}};
        report.trace = std::move(report.result.wire.trace);
        deliver(std::move(report), io);
    });
}

lookup::ValidationCheck BulkLookup::checkValidating(const std::string& validatedName) {
    return lookup::checkValidatingServer(engine_, request(validatedName));
}

// A domain's MX answer is in: its line goes out now, or once every exchanger without
// addresses has its own answers.
void BulkLookup::deliver(DomainReport&& report, BulkIo& io) {
    auto& exchangers = report.result.exchangers;
    if (!settings_.addresses || exchangers.empty()) {
        publish(std::move(report), io);
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
        publish(std::move(report), io);
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
    waiting_[slot] = Waiting{std::move(report), unresolved.size() * 2};
    for (const auto exchanger : unresolved) {
        askAddresses(slot, exchanger, lookup::kTypeA, io);
        askAddresses(slot, exchanger, lookup::kTypeAaaa, io);
    }
}

void BulkLookup::askAddresses(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                              BulkIo& io) {
    const auto& name = waiting_[slot].report.result.exchangers[exchanger].name;
    engine_.submitAddress(request(name), type,
                          [this, &io, slot, exchanger, type](lookup::AddressAnswer&& answer) {
                              settleExchanger(slot, exchanger, type, std::move(answer), io);
                          });
}

void BulkLookup::settleExchanger(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                                 lookup::AddressAnswer&& answer, BulkIo& io) {
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
        publish(std::move(waiting.report), io);
    }
}

void BulkLookup::publish(DomainReport&& report, BulkIo& io) {
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
                                 BulkIo& io) const {
    auto wait =
        std::min<std::chrono::milliseconds>(engineWait.value_or(kProgressTick), kProgressTick);
    if (engine_.hasRoom() && !io.listOver()) {
        if (const auto paced = pacer_.nextAllowed()) {
            wait =
                std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*paced - Clock::now()));
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
    if (engine_.hasRoom() && io.listFd() >= 0 && !pacer_.nextAllowed()) {
        list = count;
        watched[count++] = {io.listFd(), POLLIN, 0};
    }
    if (::poll(watched.data(), count, milliseconds) > 0 && list && watched[*list].revents != 0) {
        io.readList();
    }
}

bool BulkLookup::run(BulkIo& io) {
    for (;;) {
        startDomains(io, Clock::now());
        const auto engineWait = engine_.process();
        const auto counters = engine_.counters();
        progress_.inFlight = counters.inFlight + waitingCount_;
        progress_.window = counters.window;
        progress_.windowCuts = counters.windowCuts;
        progress_.sent = counters.sent;
        progress_.retries = counters.retries;
        progress_.stray = counters.stray;
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

}  // namespace ombrix::tools
