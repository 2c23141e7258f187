#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosterrors/numbered_error.h"
#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_lookup.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix {

// The lookup in the shape the control's host knows: a server setting that persists, one query
// at a time that answers with the count of exchangers as text, and the last query's exchangers
// by index. Before the first query there is no list to index, which is error 9; after any
// query, one that found nothing or failed included, an index outside the list reads as an
// empty entry with preference 0.
class HostMxLookup {
  public:
    HostMxLookup() = default;
    explicit HostMxLookup(lookup::LookupOptions options) : options_(options) {}

    // "192.0.2.1", "192.0.2.1:5353", "ns.example", "ns.example:5353", "::1", "[::1]:5353".
    void setServer(std::string server) { server_ = std::move(server); }
    const std::string& server() const { return server_; }

    // Asks the server for the domain's exchangers; "0" without asking when the server or the
    // domain is empty. Every query starts from an empty list, failed or not.
    lookup::Expected<std::string, host::NumberedError> query(std::string_view domain);
    // Empties the list and forgets the outcome, as the start of every query does, without
    // asking anything.
    void clear() {
        exchangers_.emplace();
        outcome_.reset();
    }

    // The first of the lowest preference; empty when there is none.
    const std::string& best() const;
    // The exchanger at index, or nullptr outside the list.
    lookup::Expected<const lookup::Exchanger*, host::NumberedError> entryAt(
        long long index) const;

    // What the last lookup came to, with the response code of the reply it read; nothing
    // before the first lookup and after a query refused without asking.
    struct LastOutcome {
        lookup::Outcome outcome;
        std::optional<std::uint8_t> responseCode;
    };
    const std::optional<LastOutcome>& outcome() const { return outcome_; }

  private:
    lookup::LookupOptions options_;
    std::string server_;
    std::optional<std::vector<lookup::Exchanger>> exchangers_;
    std::optional<LastOutcome> outcome_;
};

}  // namespace ombrix
