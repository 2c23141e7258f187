#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ombrix/lookup/lookup_engine.h"
#include "ombrix/lookup/server_address.h"
#include "tools/bulk/address_cache.h"
#include "tools/bulk/bulk_progress.h"
#include "tools/bulk/domain_report.h"
#include "tools/bulk/send_pacer.h"
#include "tools/bulk/server_pool.h"

namespace ombrix::tools {

struct BulkSettings {
    // Far above what one server answers on loopback, far below the 65536 IDs of a socket.
    static constexpr std::size_t kDefaultCeiling = 10000;

    std::chrono::milliseconds timeout{2000};  // per try
    int tries = 3;
    std::size_t maxInFlight = kDefaultCeiling;
    std::optional<double> rate;  // sends per second at most
    // Each server's own rate, by the servers' order; none for a server without one.
    std::vector<std::optional<double>> serverRates;
    bool trace = false;
    // Each exchanger's A and AAAA, asked unless the MX reply gave them already.
    bool addresses = false;
    // Address answers kept at most: some 250 bytes each, so 16 MB at most however long the list.
    std::size_t addressCacheEntries = 65536;
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
    // Whether the run should stop now (a signal came): nothing more is sent or reported.
    virtual bool stopRequested() const { return false; }
};

// Looks up many domains against one server on the library's engine, each domain with its own
// tries and time budget, at the pace the engine's window and the rate allow, and asks the
// exchangers' addresses when wanted. The loop waits on the engine and on the list at once, so
// a list that comes slowly never holds up lookups in flight. Every domain the list gives is
// reported exactly once, at most tries x timeout after its first send.
class BulkLookup {
  public:
    BulkLookup(const lookup::ServerAddress& server, BulkSettings settings);
    // Several servers: each try of a domain goes to one it has not tried while there is one
    // (see ServerPool); an answer (NOERROR, NXDOMAIN) is final, anything else is asked again
    // elsewhere while the domain's tries last.
    BulkLookup(const std::vector<lookup::ServerAddress>& servers, BulkSettings settings);

    // Runs until every domain is reported, io.flush() fails or io asks to stop; returns
    // whether all that was reported went out.
    bool run(BulkIo& io);
    // Whether the run ended because io asked it to stop.
    bool stopped() const { return stopped_; }
    // The domains given to the run and not reported, in the order they were given.
    std::vector<std::string> unfinished() const;
    // With several servers, one line per server on how it did; empty with one.
    std::string serverSummary() const;
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
        std::uint64_t order = 0;
        std::size_t outstanding = 0;
    };

    // Submits the domains that are ready while the window and the rate allow; how many.
    std::size_t startDomains(BulkIo& io, Clock::time_point now);
    // A domain's tries across several servers so far.
    struct Attempt {
        std::vector<bool> tried;
        int tries = 0;
        Clock::time_point firstSent{};
        std::vector<TraceEvent> trace;
        std::string lastServer;
        std::vector<std::size_t> held;  // servers whose failure waits for the domain's end
    };

    lookup::LookupRequest request(std::string domain, std::string server) const;
    void startMx(std::uint64_t order, BulkIo& io);
    void startSecurity(std::uint64_t order, BulkIo& io);
    void tryElsewhere(std::uint64_t order, BulkIo& io, bool retry);
    void tryDone(std::uint64_t order, std::size_t server, Clock::time_point sentAt,
                 lookup::MxResult&& result, BulkIo& io);
    void finishAttempt(std::uint64_t order, lookup::MxResult&& result, BulkIo& io,
                       bool serversAside = false);
    void deliver(DomainReport&& report, std::uint64_t order, BulkIo& io);
    void askAddresses(std::size_t slot, std::size_t exchanger, std::uint16_t type, BulkIo& io);
    void settleExchanger(std::size_t slot, std::size_t exchanger, std::uint16_t type,
                         const lookup::AddressAnswer& answer, BulkIo& io);
    void publish(DomainReport&& report, std::uint64_t order, BulkIo& io);
    // Whether a domain could start now: the engine, the servers' windows and the rates allow.
    bool mayStartDomain(Clock::time_point now);
    int waitMilliseconds(std::optional<std::chrono::milliseconds> engineWait, BulkIo& io);
    void wait(int milliseconds, BulkIo& io);

    BulkSettings settings_;
    ServerPool pool_;
    std::unordered_map<std::uint64_t, Attempt> attempts_;
    lookup::LookupEngine engine_;
    SendPacer pacer_;
    std::vector<Waiting> waiting_;
    std::vector<std::size_t> freeWaiting_;
    std::size_t waitingCount_ = 0;
    AddressCache addressCache_;
    BulkProgress progress_;
    // The domains given and not yet reported, by the order they were given in.
    std::map<std::uint64_t, std::string> unreported_;
    std::uint64_t given_ = 0;
    std::uint64_t retriesElsewhere_ = 0;  // tries after a domain's first, on another server
    bool stopped_ = false;
};

}  // namespace ombrix::tools
