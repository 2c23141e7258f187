#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exchange_errors.h"
#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/query_timing.h"

namespace ombrix::lookup {

// A message that answers the query, as one transport brought it.
struct WireAnswer {
    std::vector<std::uint8_t> message;
    std::chrono::microseconds roundTrip{0};  // from sending the query to this answer
    bool oversized = false;  // UDP: the datagram was cut to its beginning, too long to take
};

// Why one try brought no answer.
struct Miss {
    Fault fault;
    bool final = false;  // another try cannot help: the server refused, or nothing goes out
};

// What one transport's tries came to.
struct Leg {
    Expected<WireAnswer, Fault> answer;
    int tries = 0;
    std::size_t dropped = 0;  // messages heard that did not answer the query
};

// The shape every exchange shares: try until one try answers, one fails for good, the tries
// are used up or the lookup's time runs out. Each try gets its own deadline, perTry from its
// start and never past the lookup's. tryOnce(deadline) returns Expected<WireAnswer, Miss>.
template <class TryOnce>
Leg retryWithin(const QueryBudget& budget, std::string_view transport, TryOnce&& tryOnce) {
    std::optional<Fault> last;
    int tries = 0;
    while (tries < budget.tries() && !budget.spent()) {
        ++tries;
        auto result = tryOnce(budget.tryDeadline());
        if (result) {
            return Leg{std::move(result).value(), tries};
        }
        if (result.error().final) {
            return Leg{Unexpected(std::move(result.error().fault)), tries};
        }
        last = std::move(result.error().fault);
    }
    if (!last) {
        return Leg{Unexpected(receivingFault(
                       "the lookup's " + std::to_string(budget.total().count()) +
                       " ms ran out before the query went out over " + std::string(transport))),
                   tries};
    }
    last->description += " (" + std::string(transport) + ", " + std::to_string(tries) +
                         (tries == 1 ? " try" : " tries") + " within the lookup's " +
                         std::to_string(budget.total().count()) + " ms)";
    return Leg{Unexpected(std::move(*last)), tries};
}

}  // namespace ombrix::lookup
