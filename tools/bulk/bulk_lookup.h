#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/server_address.h"
#include "ombrix/lookup/socket_handle.h"
#include "tools/bulk/adaptive_window.h"
#include "tools/bulk/bulk_progress.h"
#include "tools/bulk/domain_report.h"
#include "tools/bulk/query_socket.h"
#include "tools/bulk/send_pacer.h"
#include "tools/bulk/tcp_fallback.h"

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
    std::size_t sockets = 4;
};

// Where the domains come from and where their reports go.
class BulkIo {
  public:
    virtual ~BulkIo() = default;
    // The next domain; nothing at the end of the list.
    virtual std::optional<std::string> nextDomain() = 0;
    virtual void report(DomainReport&& report) = 0;
    // Called before the loop waits, so lines that are complete reach the reader; false stops
    // the run (the output is gone).
    virtual bool flush() = 0;
    // Called on every turn of the loop; the callee decides whether to show it.
    virtual void progress(const BulkProgress&) {}
};

// Looks up many domains at once against one server over a few UDP sockets, each domain with
// its own tries and time budget, with the window of queries in flight found by the answers
// (see AdaptiveWindow), and TCP for truncated replies. Every domain the list gives is
// reported exactly once, at most tries x timeout after its first send.
class BulkLookup {
  public:
    BulkLookup(lookup::ServerAddress server, BulkSettings settings);
    ~BulkLookup();
    BulkLookup(const BulkLookup&) = delete;
    BulkLookup& operator=(const BulkLookup&) = delete;

    // Runs until every domain is reported or io.flush() fails; returns whether all went out.
    bool run(BulkIo& io);
    const BulkProgress& progress() const { return progress_; }

  private:
    using Clock = std::chrono::steady_clock;

    struct Send {
        std::uint16_t socket = 0;
        std::uint16_t id = 0;
        Clock::time_point at;
        std::uint64_t number = 0;  // among all sends of the run
    };
    struct Flight {
        std::uint32_t generation = 0;
        bool busy = false;
        bool presumedLost = false;
        bool overTcp = false;
        // A domain's MX query, or an exchanger's A or AAAA query for a waiting domain.
        std::uint16_t qtype = 0;
        std::int32_t waiting = -1;
        std::size_t exchanger = 0;
        DomainReport report;
        lookup::WireName qname;
        std::vector<std::uint8_t> message;
        std::vector<Send> sends;
    };
    struct Timer {
        Clock::time_point due;
        std::int32_t owner = 0;
        std::uint32_t generation = 0;
        std::size_t attempt = 0;
    };
    // A domain whose MX answer is in, held back until its exchangers' addresses are.
    struct Waiting {
        DomainReport report;
        std::size_t outstanding = 0;
    };
    struct AddressJob {
        std::int32_t waiting = 0;
        std::size_t exchanger = 0;
        std::uint16_t qtype = 0;
    };
    struct SocketEntry {
        std::unique_ptr<QuerySocket> socket;
        std::vector<std::int32_t> outbox;
    };

    void startDomains(BulkIo& io, Clock::time_point now);
    void start(std::string domain, BulkIo& io, Clock::time_point now);
    std::int32_t takeFlight(lookup::WireName qname, std::uint16_t qtype, DomainReport report);
    void startAddress(const AddressJob& job, BulkIo& io, Clock::time_point now);
    void send(std::int32_t owner, Clock::time_point now);
    std::uint16_t pickSocket();
    std::uint16_t openSocket();
    void flushOutboxes();
    void receive(std::uint16_t socket, BulkIo& io);
    void accept(std::uint16_t socket, std::span<const std::uint8_t> datagram, bool cut, BulkIo& io);
    void askOverTcp(std::int32_t owner, Clock::time_point now, BulkIo& io);
    void collectTcp(BulkIo& io);
    void expireTimers(Clock::time_point now, BulkIo& io);
    void complete(std::int32_t owner, std::span<const std::uint8_t> reply, BulkIo& io);
    void finish(std::int32_t owner, lookup::MxResult result, BulkIo& io);
    void finishAddress(std::int32_t owner, lookup::AddressResult result, BulkIo& io);
    void release(std::int32_t owner);
    void deliver(DomainReport&& report, BulkIo& io);
    void settleExchanger(const AddressJob& job, const lookup::AddressResult& result, BulkIo& io);
    void publish(DomainReport&& report, BulkIo& io);
    void giveUp(std::int32_t owner, lookup::Fault fault, BulkIo& io);
    void closeIdleSockets();
    void noteRoundTrip(Clock::duration sample);
    Clock::duration lossTimeout() const;
    int waitMilliseconds(Clock::time_point now) const;
    void trace(Flight& flight, std::string what);
    bool live(const Timer& timer) const;

    lookup::ServerAddress server_;
    std::string serverText_;
    BulkSettings settings_;
    AdaptiveWindow window_;
    SendPacer pacer_;
    TcpFallback tcp_;
    lookup::SocketHandle epoll_;
    std::vector<Flight> flights_;
    std::vector<std::int32_t> freeFlights_;
    std::vector<SocketEntry> sockets_;
    std::vector<std::uint16_t> freeSockets_;
    std::vector<std::uint16_t> active_;
    std::size_t nextActive_ = 0;
    std::vector<Waiting> waiting_;
    std::vector<std::int32_t> freeWaiting_;
    std::deque<AddressJob> addressJobs_;
    std::deque<Timer> retryTimers_;
    std::deque<Timer> lossTimers_;
    std::size_t presumedLost_ = 0;
    bool sourceDone_ = false;
    std::optional<Clock::duration> smoothedRtt_;
    Clock::duration rttVariation_{};
    BulkProgress progress_;
};

}  // namespace ombrix::tools
