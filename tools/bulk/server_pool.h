#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/mx_result.h"

namespace ombrix::tools {

// The servers of a run and how each is doing. A domain's try goes to a server it has not
// tried, among those in use the one with the fewest tries in flight, so a fast server, whose
// tries end soon, takes more. A server whose recent tries mostly failed (no reply, a failure
// code, a broken reply) is set aside: it is asked again only by one probe after a pause that
// doubles each time the probe fails, and taken back when it answers.
class ServerPool {
  public:
    using Clock = std::chrono::steady_clock;

    // `pause` is the first pause of a server set aside; `budget` a domain's whole time.
    ServerPool(std::vector<std::string> servers, Clock::duration pause, Clock::duration budget);

    std::size_t size() const { return servers_.size(); }
    const std::string& name(std::size_t server) const { return servers_[server].name; }

    // The server for a domain's next try, given which it tried; nothing when every server has
    // been set aside for longer than a domain's budget and no probe is due, so the domain
    // cannot be answered in its time.
    std::optional<std::size_t> choose(const std::vector<bool>& tried, Clock::time_point now);
    // A try that choose() gave is over with this outcome.
    void finished(std::size_t server, lookup::Outcome outcome, std::chrono::microseconds roundTrip,
                  Clock::time_point now);

    // One line per server: queries, answers, time-outs, failures, median round trip, and
    // how long it was set aside.
    std::string summary(Clock::time_point now) const;

  private:
    struct Server {
        std::string name;
        std::size_t inFlight = 0;
        std::uint64_t queries = 0;
        std::uint64_t answers = 0;
        std::uint64_t timeouts = 0;
        std::uint64_t failures = 0;
        std::deque<bool> recentFailed;                     // the last kRecent tries
        std::deque<std::chrono::microseconds> roundTrips;  // of the last answers
        std::optional<Clock::time_point> asideSince;
        Clock::duration pause{};
        Clock::time_point nextProbe{};
        bool probing = false;
        std::size_t timesAside = 0;
        Clock::duration asideTotal{};

        bool usable(Clock::time_point now) const {
            return !asideSince || (!probing && now >= nextProbe);
        }
    };

    std::optional<std::size_t> pick(const std::vector<bool>& tried, Clock::time_point now,
                                    bool untriedOnly) const;
    void setAside(Server& server, Clock::time_point now);

    std::vector<Server> servers_;
    Clock::duration firstPause_;
    Clock::duration budget_;
};

}  // namespace ombrix::tools
