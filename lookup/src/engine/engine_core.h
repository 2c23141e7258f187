#pragma once

#include <sys/epoll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/adaptive_window.h"
#include "engine/query_socket.h"
#include "engine/tcp_exchange.h"
#include "ombrix/lookup/lookup_engine.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/query_timing.h"

namespace ombrix::lookup {

// The engine behind LookupEngine: lookups in slots, UDP queries over a few connected sockets
// per server, TCP for truncated replies as non-blocking connections in the same epoll set,
// one timer heap for every try, and a window that keeps the queries in flight in check.
class EngineCore {
  public:
    // A callback of the answer's kind, or where a caller that waits in run() wants its MX
    // result written: there it is read straight from the reply, with no callback or move.
    using Completion = std::variant<std::function<void(MxResult&&)>,
                                    std::function<void(AddressAnswer&&)>,
                                    std::function<void(RecordAnswer&&)>, MxResult*>;

    explicit EngineCore(EngineSettings settings);

    LookupId submit(const LookupRequest& request, std::uint16_t type, Completion done);
    bool cancel(LookupId id);
    int fd();
    std::optional<std::chrono::milliseconds> process();
    void run();
    std::size_t pending() const { return live_ + done_.size(); }
    bool hasRoom() const;
    EngineCounters counters() const;
    std::optional<Fault> failure() const { return failure_; }
    // Readies an engine whose run has ended for the next run of the same caller: the storage,
    // the receive room and the servers written as addresses stay; sockets (each run asks from
    // a fresh source port), timers and what was learnt of the servers go.
    void startOver();

  private:
    enum class Stage : std::uint8_t { queued, udp, tcp };
    struct Lookup {
        LookupId id = kNoLookup;  // kNoLookup: the slot is free
        Stage stage = Stage::queued;
        std::uint16_t qtype = 0;
        WireName qname;
        QueryOptions options;
        std::vector<std::uint8_t> message;
        std::uint32_t server = 0;
        std::chrono::milliseconds timeout{0};
        int tries = 1;
        Clock::duration resolving{};  // spent resolving the server's name, out of the budget
        Clock::time_point firstSend;
        Clock::time_point lastSend;
        Clock::time_point deadline;
        int udpSends = 0;
        int tcpTries = 0;
        int socket = -1;
        std::uint16_t queryId = 0;
        bool presumedLost = false;
        std::uint64_t sendNumber = 0;
        std::uint32_t timerSeq = 0;  // timers armed before the last change are stale
        bool trace = false;
        std::optional<TcpExchange> tcp;
        Clock::time_point tcpStart;
        std::optional<Fault> lastTcpMiss;
        WireReport wire;
        Completion completion;
    };
    struct Server {
        ServerAddress address;  // with the setting the lookups name it by
        std::string endpoint;
        std::vector<int> sockets;  // the active ones; retired ones leave this list
        std::size_t next = 0;
        bool refusesEdns = false;  // learnt from its answers, kept for the run
        bool lookedUp = false;     // its address came from a host name
    };
    struct SocketSlot {
        std::optional<QuerySocket> socket;
        std::uint32_t server = 0;
        std::vector<std::pair<std::int32_t, LookupId>> outbox;
    };
    enum class TimerKind : std::uint8_t { tryOver, presumedLost };
    struct Timer {
        Clock::time_point due;
        std::int32_t slot = 0;
        std::uint32_t seq = 0;
        TimerKind kind = TimerKind::tryOver;
        bool operator>(const Timer& other) const { return due > other.due; }
    };
    // A finished lookup waiting for its callback: the answer beside the completion of the same
    // kind, so that nothing is wrapped in a closure of its own on the way.
    using Answer = std::variant<MxResult, AddressAnswer, RecordAnswer>;
    struct Delivery {
        LookupId id = kNoLookup;  // kNoLookup once delivered or cancelled
        Completion completion;
        Answer answer;
    };
    // The reply is read inside finish(), before its bytes are reused.
    using Ending = Expected<std::span<const std::uint8_t>, Fault>;

    // The most datagrams one system call sends or receives.
    static constexpr std::size_t kBatch = 64;
    // Tags of the epoll set: UDP sockets by index, TCP exchanges by lookup slot and try.
    static constexpr std::uint64_t kTcpTag = 1ULL << 63;
    static constexpr std::uint64_t kSlotBits = 0xFFFFFFFF;

    // Tries x timeout: the whole time one lookup may take.
    static std::chrono::milliseconds budgetOf(const Lookup& lookup) {
        return lookup.timeout * lookup.tries;
    }

    std::int32_t takeSlot();
    bool ensureEpoll();
    bool watch(int fd, std::uint32_t events, std::uint64_t tag);
    // The one open UDP socket while there is no epoll set, or -1.
    int soleSocket() const;
    void start(std::int32_t slot, const LookupRequest& request);
    std::uint64_t tcpTag(std::int32_t slot);
    std::optional<std::chrono::milliseconds> recoverFromExhaustion();
    // Runs one step of work; memory running out inside it ends every lookup instead.
    template <class Step>
    std::optional<std::chrono::milliseconds> guarded(Step&& step);
    Lookup& at(std::int32_t slot) { return lookups_[static_cast<std::size_t>(slot)]; }
    std::optional<std::uint32_t> knownServer(const std::string& setting) const;
    Expected<std::uint32_t, Fault> serverFor(const std::string& setting, Lookup& lookup);
    Expected<std::uint32_t, Fault> addServer(const std::string& setting,
                                             Clock::time_point deadline);
    Expected<int, Fault> pickSocket(std::uint32_t server);
    Expected<int, Fault> openSocket(std::uint32_t server);

    void handle(std::span<const epoll_event> events, Clock::time_point now);
    std::optional<std::chrono::milliseconds> work(Clock::time_point now);
    void admit(Clock::time_point now);
    void clearQueue();
    void sendUdp(std::int32_t slot, Clock::time_point now);
    void flushOutboxes();
    void failOutbox(SocketSlot& entry, std::size_t from, int systemError);
    std::uint8_t* receiveRoom();
    void receive(int socket, Clock::time_point now);
    Clock::time_point receiveWithin(int socket, std::chrono::milliseconds wait);
    void accept(int socket, std::span<const std::uint8_t> datagram, bool cut,
                Clock::time_point now);
    void refuse(std::uint32_t server);
    bool fallsBackFromEdns(std::int32_t slot, std::uint8_t rcode);
    void goTcp(std::int32_t slot, Clock::time_point now);
    void startTcpTry(std::int32_t slot, Clock::time_point now);
    void onTcpReady(std::int32_t slot, Clock::time_point now);
    void onTcpMiss(std::int32_t slot, Miss miss, Clock::time_point now);
    void expireTimers(Clock::time_point now);
    void onTryOver(std::int32_t slot, Clock::time_point now);
    void arm(std::int32_t slot, Clock::time_point due, TimerKind kind);
    void finish(std::int32_t slot, Ending ending);
    void release(std::int32_t slot);
    void deliver();
    static void call(Delivery& delivery);
    void closeIdleSockets();
    void failEverything(const Fault& fault);
    void noteRoundTrip(Clock::duration sample);
    Clock::duration lossTimeout(const Lookup& lookup) const;
    std::size_t occupying() const { return admitted_ - presumedLost_; }
    // Adds a line to the lookup's trace; the line is put together only when it is traced, so
    // that a run without --trace spends nothing on words.
    template <class... Pieces>
    void trace(Lookup& lookup, const Pieces&... pieces) {
        if (lookup.trace) {
            std::string line;
            (appendPiece(line, pieces), ...);
            addTraceLine(lookup, std::move(line));
        }
    }
    static void appendPiece(std::string& line, std::string_view piece) { line += piece; }
    static void appendPiece(std::string& line, std::size_t number) {
        line += std::to_string(number);
    }
    void addTraceLine(Lookup& lookup, std::string line);

    EngineSettings settings_;
    AdaptiveWindow window_;
    SocketHandle epoll_;
    std::optional<Fault> failure_;
    // Slots by index: nothing keeps a reference to a lookup across a submit, which may grow
    // this.
    std::vector<Lookup> lookups_;
    std::vector<std::int32_t> freeSlots_;
    std::uint64_t serial_ = 0;
    std::size_t live_ = 0;
    std::size_t admitted_ = 0;
    std::size_t presumedLost_ = 0;
    std::size_t queued_ = 0;
    // Lookups waiting for the window, first in first out from queueHead_.
    std::vector<std::pair<std::int32_t, LookupId>> queue_;
    std::size_t queueHead_ = 0;
    std::vector<Server> servers_;
    std::unordered_map<std::string, std::uint32_t> serverIndex_;  // only for a long list
    std::vector<SocketSlot> sockets_;
    std::vector<int> freeSockets_;
    std::vector<Timer> timers_;  // a min-heap by due time
    std::vector<Delivery> done_;
    std::vector<Delivery>* delivering_ = nullptr;  // the batch whose callbacks run now
    std::vector<Delivery> spare_;  // the last batch's storage, emptied
    std::unique_ptr<std::uint8_t[]> receiveRoom_;
    std::size_t receiveBatch_ = 1;
    std::optional<Clock::duration> smoothedRtt_;
    Clock::duration rttVariation_{};
    EngineCounters counters_;
};

}  // namespace ombrix::lookup
