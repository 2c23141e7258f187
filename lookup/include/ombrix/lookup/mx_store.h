#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

// One mail exchanger: its name in presentation form and its preference (lower is preferred).
struct MxRecord {
    std::string server;
    std::uint16_t pref = 0;

    friend bool operator==(const MxRecord&, const MxRecord&) = default;
};

// The outcome of the most recent query. Before the first query there is no list at all;
// after any query the list holds at least one entry (an empty one when nothing was found).
class MxStore {
  public:
    // Empties the result; the domain of the last accepted query stays.
    void reset();
    // Appends an exchanger in reply order; the first of the lowest preferences becomes best.
    void add(std::string server, std::uint16_t pref);
    // Orders the list by ascending preference, keeping reply order among equals.
    void sortByPreference();

    void setDomain(std::string domain) { domain_ = std::move(domain); }
    const std::string& domain() const { return domain_; }
    const std::string& best() const { return best_; }
    std::size_t count() const { return count_; }
    bool hasList() const { return list_.has_value(); }
    const std::vector<MxRecord>& list() const;

    // The entry at idx; nullptr when idx lies outside the list. Error 9 when no query has
    // run yet, since there is no list to index.
    Expected<const MxRecord*> entryAt(long long idx) const;

  private:
    std::string domain_;
    std::string best_;
    std::optional<std::uint16_t> bestPref_;
    std::optional<std::vector<MxRecord>> list_;
    std::size_t count_ = 0;
};

}  // namespace ombrix::lookup
