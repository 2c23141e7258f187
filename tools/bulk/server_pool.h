#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/mx_result.h"
#include "tools/bulk/send_pacer.h"

namespace ombrix::tools {

// One server of a run as the list names it: where it is and, when given, the most queries
// a second it is to be sent.
struct PoolServer {
    std::string name;
    std::optional<double> rate;
};

// The servers of a run and how each is doing. Each server has a window of tries in flight of
// its own: it grows by one with each answer and halves when tries go unanswered (once for the
// tries that were already out when it was cut), so a server that answers takes more and one
// that drops tries takes fewer. A domain's try goes to a server it has not tried, among those
// in use the one using the least of its window, and a server given a rate is sent no more
// first tries than that. A server whose recent tries mostly failed (no reply, or a failure
// code or broken reply for a domain that another server answered) is set aside: it
// is asked again only by one probe after a pause that doubles each time the probe fails, and
// taken back when it answers.
class ServerPool {
  public:
    using Clock = std::chrono::steady_clock;

    // `pause` is the first pause of a server set aside; `budget` a domain's whole time;
    // `ceiling` the most tries one server's window lets be in flight.
    ServerPool(std::vector<PoolServer> servers, Clock::duration pause, Clock::duration budget,
               std::size_t ceiling, Clock::time_point now = Clock::now());

    std::size_t size() const { return servers_.size(); }
    const std::string& name(std::size_t server) const { return servers_[server].name; }

    // Whether a domain's first try could go now: a server in use has room in its window and
    // its rate allows a send.
    bool hasRoom(Clock::time_point now);
    // When a server's rate next allows a first try, if rates are what holds them back.
    std::optional<Clock::time_point> nextAllowed(Clock::time_point now);

    // The server for a domain's next try, given which it tried; nothing when every server has
    // been set aside for longer than a domain's budget and no probe is due, so the domain
    // cannot be answered in its time. A later try (retry) goes even where the window or the
    // rate is full, as it must go within its domain's budget.
    std::optional<std::size_t> choose(const std::vector<bool>& tried, Clock::time_point now,
                                      bool retry = false);
    // A try that choose() gave at sentAt is over with this outcome. True when the failure is
    // held until the domain's end: call blame() then if another server answered the domain.
    bool finished(std::size_t server, lookup::Outcome outcome, std::chrono::microseconds roundTrip,
                  Clock::time_point now, Clock::time_point sentAt = {});
    // A held failure was the server's: another server answered the same domain.
    void blame(std::size_t server, Clock::time_point now);
    // The window of tries in flight the server has now.
    std::size_t window(std::size_t server) const;

    // One line per server: queries, answers, time-outs, failures, median round trip, and
    // how long it was set aside.
    std::string summary(Clock::time_point now) const;

  private:
    struct Server {
        std::string name;
        SendPacer pacer;
        double window = 0;
        Clock::time_point cutAt{};  // tries sent before it failing cut nothing more
        std::size_t inFlight = 0;
        std::uint64_t queries = 0;
        std::uint64_t answers = 0;
        std::uint64_t timeouts = 0;
        std::uint64_t failures = 0;
        std::deque<bool> recentFailed{};                   // the last kRecent tries
        std::deque<std::chrono::microseconds> roundTrips{};// of the last answers
        std::optional<Clock::time_point> asideSince{};
        Clock::duration pause{};
        Clock::time_point nextProbe{};
        bool probing = false;
        std::size_t timesAside = 0;
        Clock::duration asideTotal{};

        bool usable(Clock::time_point now) const {
            return !asideSince || (!probing && now >= nextProbe);
        }
        bool windowFull() const { return static_cast<double>(inFlight) >= window; }
        // Whether a domain's first try may go to it now: room in its window, its rate allows.
        bool takesFirstTry(Clock::time_point now) { return !windowFull() && pacer.mayStart(now); }
    };

    std::optional<std::size_t> pick(const std::vector<bool>& tried, Clock::time_point now,
                                    bool untriedOnly, bool roomOnly);
    void adjustWindow(Server& server, lookup::Outcome outcome, Clock::time_point now,
                      Clock::time_point sentAt);
    // Counts a try for or against the server, sets it aside or takes it back.
    void judge(Server& server, bool failed, Clock::time_point now);
    void setAside(Server& server, Clock::time_point now);

    std::vector<Server> servers_;
    Clock::duration firstPause_;
    Clock::duration budget_;
    double ceiling_;
};

}  // namespace ombrix::tools
