#include "tools/bulk/server_pool.h"

#include <algorithm>
#include <cstdio>

namespace ombrix::tools {
namespace {

// How many recent tries judge a server, and how many of them failing set it aside.
constexpr std::size_t kRecent = 10;
constexpr std::size_t kFailingOfRecent = 8;
constexpr std::size_t kRoundTripsKept = 1000;
// The longest pause between probes, in first pauses.
constexpr int kLongestPause = 64;
// A server's window starts where the engine's does, and never closes entirely.
constexpr double kFirstWindow = 64;
constexpr std::size_t kSmallestWindow = 2;

bool isAnswer(lookup::Outcome outcome) {
    return !lookup::isTemporary(outcome);
}

double seconds(ServerPool::Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

}  // namespace

ServerPool::ServerPool(std::vector<PoolServer> servers, Clock::duration pause,
                       Clock::duration budget, std::size_t ceiling, Clock::time_point now)
    : firstPause_(pause),
      budget_(budget),
      ceiling_(static_cast<double>(std::max(ceiling, kSmallestWindow))) {
    for (auto& listed : servers) {
        auto& server = servers_.emplace_back(Server{.name = std::move(listed.name),
                                                    .pacer = SendPacer(listed.rate, now)});
        server.window = std::min(ceiling_, kFirstWindow);
    }
}

std::optional<std::size_t> ServerPool::pick(const std::vector<bool>& tried, Clock::time_point now,
                                            bool untriedOnly, bool roomOnly) {
    std::optional<std::size_t> best;
    double bestUse = 0;
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        auto& server = servers_[i];
        if (!server.usable(now) || (untriedOnly && tried[i]) ||
            (roomOnly && !server.takesFirstTry(now))) {
            continue;
        }
        // The share of its window in use: a server's window grows with its answers, so the
        // room left alone would send everything to whichever server answered first.
        const double use = static_cast<double>(server.inFlight) / server.window;
        if (!best || use < bestUse) {
            best = i;
            bestUse = use;
        }
    }
    return best;
}

bool ServerPool::hasRoom(Clock::time_point now) {
    bool anyUsable = false;
    for (auto& server : servers_) {
        if (server.usable(now)) {
            anyUsable = true;
            if (server.takesFirstTry(now)) {
                return true;
            }
        }
    }
    // With every server aside, choose() says where a try goes or that none can.
    return !anyUsable;
}

std::optional<ServerPool::Clock::time_point> ServerPool::nextAllowed(Clock::time_point now) {
    std::optional<Clock::time_point> soonest;
    for (auto& server : servers_) {
        if (!server.usable(now) || server.windowFull() || server.pacer.mayStart(now)) {
            continue;
        }
        const auto next = server.pacer.nextAllowed();
        if (next && (!soonest || *next < *soonest)) {
            soonest = next;
        }
    }
    return soonest;
}

std::size_t ServerPool::window(std::size_t server) const {
    return static_cast<std::size_t>(servers_[server].window);
}

std::optional<std::size_t> ServerPool::choose(const std::vector<bool>& tried,
                                              Clock::time_point now, bool retry) {
    auto chosen = pick(tried, now, true, !retry);
    if (!chosen) {
        chosen = pick(tried, now, false, false);
    }
    if (!chosen) {
        // Every server is set aside and none is due for a probe. Within a domain's budget an
        // outage may still end: the try goes where a probe comes soonest. Past it, no domain
        // can be answered in its time.
        const auto soonest = std::min_element(
            servers_.begin(), servers_.end(),
            [](const Server& a, const Server& b) { return a.nextProbe < b.nextProbe; });
        const bool longAside = std::all_of(servers_.begin(), servers_.end(), [&](const Server& s) {
            return s.asideSince && now - *s.asideSince > budget_;
        });
        if (longAside) {
            return std::nullopt;
        }
        chosen = static_cast<std::size_t>(soonest - servers_.begin());
    }
    auto& server = servers_[*chosen];
    server.probing = server.asideSince.has_value();
    server.pacer.spend();
    ++server.inFlight;
    ++server.queries;
    return chosen;
}

void ServerPool::setAside(Server& server, Clock::time_point now) {
    server.asideSince = now;
    server.pause = firstPause_;
    server.nextProbe = now + server.pause;
    ++server.timesAside;
}

// Only a try that got no reply says the server (or the way to it) has more than it can take.
// A failure code or a broken reply came back quickly, mostly about one domain (a resolver's
// SERVFAIL for a broken delegation): cutting on those would shrink the window to nothing on a
// list with a share of broken domains, since they come back within a round trip each time.
void ServerPool::adjustWindow(Server& server, lookup::Outcome outcome, Clock::time_point now,
                              Clock::time_point sentAt) {
    if (isAnswer(outcome)) {
        server.window = std::min(ceiling_, server.window + 1);
    } else if (outcome == lookup::Outcome::noReply && sentAt >= server.cutAt) {
        server.window = std::max(static_cast<double>(kSmallestWindow), server.window / 2);
        server.cutAt = now;
    }
}

bool ServerPool::finished(std::size_t index, lookup::Outcome outcome,
                          std::chrono::microseconds roundTrip, Clock::time_point now,
                          Clock::time_point sentAt) {
    auto& server = servers_[index];
    --server.inFlight;
    const bool failed = !isAnswer(outcome);
    adjustWindow(server, outcome, now, sentAt);
    if (outcome == lookup::Outcome::noReply) {
        ++server.timeouts;
    } else if (failed) {
        ++server.failures;
    } else {
        ++server.answers;
        server.roundTrips.push_back(roundTrip);
        if (server.roundTrips.size() > kRoundTripsKept) {
            server.roundTrips.pop_front();
        }
    }
    // No reply (a time-out, or the port refused by the system) is the server's own doing. A
    // failure code or a broken reply may be the domain's (a resolver's SERVFAIL for a broken
    // delegation, an authoritative server's REFUSED for a zone it does not serve, from every
    // server alike): it waits for the domain's end, where blame() counts it if another server
    // answered.
    if (failed && outcome != lookup::Outcome::noReply && !server.asideSince) {
        return true;
    }
    judge(server, failed, now);
    return false;
}

void ServerPool::blame(std::size_t index, Clock::time_point now) {
    auto& server = servers_[index];
    // Set aside since then: its probes judge it now.
    if (!server.asideSince) {
        judge(server, true, now);
    }
}

void ServerPool::judge(Server& server, bool failed, Clock::time_point now) {
    server.recentFailed.push_back(failed);
    if (server.recentFailed.size() > kRecent) {
        server.recentFailed.pop_front();
    }
    if (server.asideSince) {
        if (!failed) {
            // It answers again: taken back, judged afresh.
            server.asideTotal += now - *server.asideSince;
            server.asideSince.reset();
            server.recentFailed.clear();
        } else if (server.probing) {
            server.pause = std::min(server.pause * 2, firstPause_ * kLongestPause);
            server.nextProbe = now + server.pause;
        }
        server.probing = false;
        return;
    }
    const auto failures = std::count(server.recentFailed.begin(), server.recentFailed.end(), true);
    if (server.recentFailed.size() == kRecent &&
        static_cast<std::size_t>(failures) >= kFailingOfRecent) {
        setAside(server, now);
    }
}

std::string ServerPool::summary(Clock::time_point now) const {
    std::string lines;
    for (const auto& server : servers_) {
        auto trips = std::vector(server.roundTrips.begin(), server.roundTrips.end());
        std::string median = "-";
        if (!trips.empty()) {
            const auto middle = trips.begin() + static_cast<std::ptrdiff_t>(trips.size() / 2);
            std::nth_element(trips.begin(), middle, trips.end());
            char text[32];
            std::snprintf(text, sizeof text, "%.1f ms",
                          std::chrono::duration<double, std::milli>(*middle).count());
            median = text;
        }
        auto aside = server.asideTotal;
        if (server.asideSince) {
            aside += now - *server.asideSince;
        }
        char text[256];
        std::snprintf(text, sizeof text,
                      "server %s: %llu queries, %llu answers, %llu time-outs, %llu failures, "
                      "median round trip %s",
                      server.name.c_str(), static_cast<unsigned long long>(server.queries),
                      static_cast<unsigned long long>(server.answers),
                      static_cast<unsigned long long>(server.timeouts),
                      static_cast<unsigned long long>(server.failures), median.c_str());
        lines += text;
        if (server.timesAside > 0) {
            std::snprintf(text, sizeof text, ", set aside %zu %s for %.1f s%s", server.timesAside,
                          server.timesAside == 1 ? "time" : "times", seconds(aside),
                          server.asideSince ? " (still)" : "");
            lines += text;
        }
        lines += '\n';
    }
    return lines;
}

}  // namespace ombrix::tools
