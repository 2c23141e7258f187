#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/lookup_engine.h"
#include "ombrix/lookup/server_address.h"
#include "tools/bulk/bulk_progress.h"
#include "tools/bulk/domain_report.h"
#include "tools/bulk/send_pacer.h"

namespace ombrix::tools {

struct BulkSettings {
    // Far above what one server answers on loopback, far below the 65536 IDs of a socket.
    static constexpr std::size_t kDefaultCeiling = 10000;

    std::chrono::milliseconds timeout{2000};  // per try
    int tries = 3;
    std::size_t maxInFlight = kDefaultCeiling;
    std::optional<double> rate;  // sends per second at most
    bool trace = false;
    // Each exchanger's A and AAAA, asked unless the MX reply gave them already.
    bool addresses = false;
    // Every domain's mail-security questions (see lookup/mail_security.h) instead of the bare
    // MX lookup; addresses is then not asked for.
    bool security = false;
};

// Where the domains come from and where their reports go.
class BulkIo {
  public:
    virtual ~BulkIo() = default;
    // The next domain if one is ready; nothing when none is ready yet or the list is over.
    virtual std::optional<std::string> nextDomain() = 0;
    // Whether every domain of the list was given.
    virtual bool listOver() const = 0;
    // A descriptor that turns readable when more of the list has come, or -1; readList() then
    // takes what it has without waiting.
    virtual int listFd() const { return -1; }
    virtual void readList() {}
    virtual void report(DomainReport&& report) = 0;
    // Called before the loop waits, so lines that are complete reach the reader; false stops
    // the run (the output is gone).
    virtual bool flush() = 0;
    // Called on every turn of the loop; the callee decides whether to show it.
    virtual void progress(const BulkProgress&) {}
};

// Looks up many domains against one server on the library's engine, each domain with its own
// tries and time budget, at the pace the engine's window and the rate allow, and asks the
// exchangers' addresses when wanted. The loop waits on the engine and on the list at once, so
// a list that comes slowly never holds up lookups in flight. Every domain the list gives is
// reported exactly once, at most tries x timeout after its first send.
class BulkLookup {
  public:
    BulkLookup(const lookup::ServerAddress& server, BulkSettings settings);

    // Runs until every domain is reported or io.flush() fails; returns whether all went out.
    bool run(BulkIo& io);
    const BulkProgress& progress() const { return progress_; }
    // Whether the server validates, asked for validatedName's DNSKEY (the root's when empty)
    // before any domain: see lookup::checkValidatingServer.
    lookup::ValidationCheck checkValidating(const std::string& validatedName);
    // Why the engine could not open its descriptor, when it could not: every domain not yet
    // reported then ends with it.
    std::optional<lookup::Fault> failure() const { return engine_.failure(); }

  private:
    using Clock = std::chrono::steady_clock;

    // A domain whose MX answer is in, held back until its exchangers' addresses are.
    struct Waiting {
        DomainReport report;
        std::size_t outstanding = 0;
    };

    // Submits the domains that are ready while the window and the rate allow; how many.
    std::size_t startDomains(BulkIo& io, Clock::time_point now);
    lookup::LookupRequest request(std::string domain) const;
    void startDomain(std::string domain, BulkIo& io);
    void deliver(DomainReport&& report, BulkIo& io);
    void askAddresses(std::size_t slot, std::size_t exchanger, std::uint16_t type, BulkIo& io);
    void settleExchanger(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                         lookup::AddressAnswer&& answer, BulkIo& io);
    void publish(DomainReport&& report, BulkIo& io);
    int waitMilliseconds(std::optional<std::chrono::milliseconds> engineWait, BulkIo& io) const;
    void wait(int milliseconds, BulkIo& io);

    std::string server_;
    BulkSettings settings_;
    lookup::LookupEngine engine_;
    SendPacer pacer_;
    std::vector<Waiting> waiting_;
    std::vector<std::size_t> freeWaiting_;
    std::size_t waitingCount_ = 0;
    BulkProgress progress_;
};

}  // namespace ombrix::tools
