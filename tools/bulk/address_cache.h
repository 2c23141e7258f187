#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ombrix/lookup/address_reply.h"

namespace ombrix::tools {

// The A and AAAA answers of exchangers, asked once per run and shared by every domain that
// names them: an answer is kept while its TTL allows, and a lookup already in flight is
// joined rather than asked again. Only answers that say something about the name (addresses,
// no such name, no address) are kept; a failure is given to those waiting and asked afresh
// next time. At most `capacity` answers are kept, so a list of any length costs bounded
// memory: when full, those that expire soonest make room.
class AddressCache {
  public:
    using Clock = std::chrono::steady_clock;

    // Who waits for an answer: a domain's slot and the exchanger within it.
    struct Waiter {
        std::size_t slot = 0;
        std::size_t exchanger = 0;
    };
    // What was kept of an answer.
    struct Kept {
        lookup::AddressStatus status = lookup::AddressStatus::noAddress;
        std::vector<std::string> addresses;
    };

    explicit AddressCache(std::size_t capacity) : capacity_(capacity) {}

    // The answer kept for the name and type, if it has not expired.
    const Kept* find(std::string_view name, std::uint16_t type, Clock::time_point now);
    // Adds the waiter to a lookup of the name and type; true when one was in flight already,
    // false when the caller must ask (the waiter is then the first of the new flight).
    bool join(std::string_view name, std::uint16_t type, Waiter waiter);
    // The flight's answer is in: keeps it when it may be kept, and returns who waited for it.
    std::vector<Waiter> settle(std::string_view name, std::uint16_t type,
                               const lookup::AddressResult& answer, Clock::time_point now);

    // Address queries not sent because an answer was kept or a flight joined.
    std::uint64_t saved() const { return saved_; }
    std::size_t kept() const { return keptCount_; }

  private:
    struct Entry {
        std::optional<Kept> kept;
        Clock::time_point expires{};
        std::vector<Waiter> waiting;  // not empty while a lookup is in flight
    };

    static std::string keyOf(std::string_view name, std::uint16_t type);
    // Drops what has expired and, if still full, the quarter that expires soonest.
    void makeRoom(Clock::time_point now);

    std::size_t capacity_;
    std::unordered_map<std::string, Entry> entries_;
    std::size_t keptCount_ = 0;
    std::uint64_t saved_ = 0;
};

}  // namespace ombrix::tools
