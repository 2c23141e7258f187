#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// One question for the engine, with its own server and time.
struct LookupRequest {
    // "192.0.2.1", "192.0.2.1:5353", "ns.example", "ns.example:5353", "::1" or "[::1]:5353".
    // A host name is resolved when the lookup is submitted, within the lookup's budget.
    std::string server;
    std::string domain;
    // Each try waits at most timeout; the lookup as a whole, TCP included, tries x timeout.
    std::chrono::milliseconds timeout{2000};
    int tries = 3;
    bool dnssecOk = false;          // ask the server for DNSSEC records (the DO bit)
    bool checkingDisabled = false;  // the CD bit: the server should not validate
    bool trace = false;             // record each send, reply and drop in wire.trace
};

// The reply to a lookup of any record type, validated (it answers exactly our question) but
// not read further.
struct RecordAnswer {
    // Set when no reply was taken: the domain was invalid, nothing answered in time, or the
    // server refused.
    std::optional<Fault> fault;
    std::optional<std::uint8_t> rcode;
    bool authenticData = false;  // the AD bit: the server says it validated the answer
    std::vector<std::uint8_t> reply;
    WireReport wire;
};

// The A or AAAA addresses of one name, and what happened on the wire.
struct AddressAnswer {
    AddressResult result;
    WireReport wire;
};

using LookupId = std::uint64_t;
inline constexpr LookupId kNoLookup = 0;

struct EngineSettings {
    // The most queries in flight at once; the window finds its own size below this.
    std::size_t maxInFlight = 10000;
    // When false the window is maxInFlight from the start and never moves.
    bool adaptiveWindow = true;
    // UDP sockets per server, each on its own random source port.
    std::size_t socketsPerServer = 4;
};

// Where the engine stands, for progress reports.
struct EngineCounters {
    std::size_t inFlight = 0;  // submitted and not yet delivered
    std::size_t window = 0;
    std::uint64_t sent = 0;     // queries sent over UDP and TCP, first tries and retries
    std::uint64_t retries = 0;  // sends after a lookup's first
    std::uint64_t stray = 0;    // datagrams that answered no query in flight
    std::size_t windowCuts = 0;
};

// Many lookups at once on the caller's thread, without threads of its own. Submitting does no
// input or output; the work happens in process() or run(), which call each lookup's callback
// exactly once, on the caller's thread, unless the lookup was cancelled first. Nothing is
// thrown: every failure of a socket, a descriptor or the server becomes the outcome of the
// lookups it touches, with a description of what happened.
//
// In an event loop of your own: watch fd() for reading, and call process() when it is
// readable or when the time process() last returned has passed. Call process() once after
// submitting, too.
class OMBRIX_LOOKUP_API LookupEngine {
  public:
    explicit LookupEngine(EngineSettings settings = {});
    ~LookupEngine();
    LookupEngine(const LookupEngine&) = delete;
    LookupEngine& operator=(const LookupEngine&) = delete;

    // kNoLookup when memory ran out before the lookup could be taken; no callback then.
    LookupId submitMx(const LookupRequest& request, std::function<void(MxResult&&)> done);
    // type is 1 (A) or 28 (AAAA).
    LookupId submitAddress(const LookupRequest& request, std::uint16_t type,
                           std::function<void(AddressAnswer&&)> done);
    // Any record type, TLSA (52) and TXT (16) among them.
    LookupId submitRecord(const LookupRequest& request, std::uint16_t type,
                          std::function<void(RecordAnswer&&)> done);
    // Stops a lookup; its callback never runs. False when it was already delivered.
    bool cancel(LookupId id);

    // Readable when there is work for process(). Opened on the first call (run() alone does
    // without it while one UDP socket is all it waits on); -1 when the system refuses one (see
    // failure()), and every lookup then ends with that fault.
    int fd();
    // Does what is ready without waiting; returns how long until it must be called again at
    // the latest, or nothing when no lookup is pending.
    std::optional<std::chrono::milliseconds> process();
    // Works until every lookup submitted is delivered.
    void run();

    // Lookups submitted and not yet delivered or cancelled.
    std::size_t pending() const;
    // Whether a lookup submitted now would go out at once rather than wait for the window.
    bool hasRoom() const;
    EngineCounters counters() const;
    // Why the engine could not open its descriptor, if it could not.
    std::optional<Fault> failure() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ombrix::lookup
