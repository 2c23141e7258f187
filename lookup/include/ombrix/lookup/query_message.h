#pragma once

#include <cstdint>
#include <vector>

#include "ombrix/lookup/domain_name.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kTypeMx = 15;
inline constexpr std::uint16_t kTypeCname = 5;
inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypeAaaa = 28;
inline constexpr std::uint16_t kTypeOpt = 41;
inline constexpr std::uint16_t kClassIn = 1;

// The UDP reply size a query offers to take: the value DNS operators agreed on, small enough
// that a reply of that size is not fragmented on the paths that matter.
inline constexpr std::uint16_t kAdvertisedUdpPayload = 1232;

// How a query asks.
struct QueryOptions {
    // An OPT record in the additional section, offering kAdvertisedUdpPayload; off only for a
    // server that refuses queries carrying one.
    bool edns = true;
    // The DO bit: DNSSEC records wanted in the reply. Needs edns.
    bool dnssecOk = false;
    // The CD bit: a validating server answers without checking signatures.
    bool checkingDisabled = false;
};

// A standard query with recursion desired and one question: qname, the type, class IN; with
// options.edns an OPT record (root owner, version 0, no options) after it.
std::vector<std::uint8_t> buildQuery(std::uint16_t id, const WireName& qname, std::uint16_t qtype,
                                     const QueryOptions& options = {});

inline std::vector<std::uint8_t> buildMxQuery(std::uint16_t id, const WireName& qname,
                                              const QueryOptions& options = {}) {
    return buildQuery(id, qname, kTypeMx, options);
}

}  // namespace ombrix::lookup
