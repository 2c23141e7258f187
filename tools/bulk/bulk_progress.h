#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "ombrix/lookup/dane_verdict.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/policy_record.h"

namespace ombrix::tools {

inline constexpr std::size_t kOutcomeCount =
    static_cast<std::size_t>(lookup::Outcome::invalidDomain) + 1;
inline constexpr std::size_t kVerdictCount =
    static_cast<std::size_t>(lookup::DaneVerdict::error) + 1;
inline constexpr std::size_t kPolicyStatusCount =
    static_cast<std::size_t>(lookup::PolicyRecordStatus::error) + 1;

// Where a run of many lookups stands.
struct BulkProgress {
    std::size_t done = 0;
    std::size_t inFlight = 0;
    std::size_t window = 0;
    std::uint64_t sent = 0;     // queries sent, first tries and retries, over UDP and TCP
    std::uint64_t retries = 0;  // sends after a domain's first
    std::uint64_t stray = 0;    // datagrams that answered no query in flight
    std::size_t windowCuts = 0;
    std::uint64_t addressLookups = 0;       // exchangers' A or AAAA lookups submitted
    std::uint64_t addressLookupsSaved = 0;  // answered from the cache or by a flight joined

    std::array<std::size_t, kOutcomeCount> outcomes{};
    // With --security: domains per DANE verdict and per MTA-STS status.
    bool security = false;
    std::array<std::size_t, kVerdictCount> verdicts{};
    std::array<std::size_t, kPolicyStatusCount> mtaSts{};
};

}  // namespace ombrix::tools
