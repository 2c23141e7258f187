#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/lookup/export.h"

namespace ombrix::lookup {

// How far an answer from a validating resolver can be trusted.
enum class DnssecStatus : std::uint8_t {
    secure,         // validated: the server set the AD bit
    insecure,       // answered without validation, the same with checking disabled: unsigned
    bogus,          // the server refused the answer as failing validation: a temporary failure
    indeterminate,  // no answer could be had
};

// What one reply of the validating server said, as far as validation goes.
struct ValidatingReply {
    std::uint16_t rcode = 0;                    // the full response code
    bool authenticData = false;                 // the AD bit
    std::vector<std::uint16_t> extendedErrors;  // the info codes of its Extended DNS Errors
    // The answer's records, each as text in any one form, in any order: what "the same
    // answer" compares.
    std::vector<std::string> answer;
};

// The status of an answer from the reply to the query with the DO bit (nothing when none came)
// and, when it was asked, the reply to the same query with CD set as well. The rules, in order:
//  - no reply: indeterminate;
//  - NOERROR or NXDOMAIN with the AD bit: secure, whatever Extended DNS Errors come along (a
//    stale answer is still a validated one);
//  - an Extended DNS Error from 1 to 12 (the DNSSEC ones) on a failure code: bogus, without
//    needing the CD reply. On NOERROR or NXDOMAIN without AD the same holds, except for codes
//    1 and 2 (unsupported algorithm or digest: the resolver must treat the zone as unsigned)
//    and 3 (a stale answer): those are answers a validator gives for unsigned data;
//  - SERVFAIL that the CD reply answers (NOERROR or NXDOMAIN): bogus;
//  - NOERROR or NXDOMAIN without AD, with a CD reply of the same code and the same records:
//    insecure. Without a CD reply, or with a different one, nothing says the data is unsigned
//    rather than altered on the way: indeterminate;
//  - anything else (SERVFAIL that persists with CD, REFUSED, ...): indeterminate.
OMBRIX_LOOKUP_API DnssecStatus dnssecStatus(const std::optional<ValidatingReply>& plain,
                                            const std::optional<ValidatingReply>& checkingDisabled);

// The weaker of two statuses, for a name asked with two record types (A and AAAA): secure,
// then insecure, then indeterminate, then bogus, the weakest, since a refused answer means
// someone may be tampering with the data.
OMBRIX_LOOKUP_API DnssecStatus weaker(DnssecStatus a, DnssecStatus b);

// Whether the status stands for a failed lookup, temporary, never "no record".
constexpr bool isFailure(DnssecStatus status) {
    return status == DnssecStatus::bogus || status == DnssecStatus::indeterminate;
}

// The word for the status: "secure", "insecure", "bogus" or "indeterminate".
OMBRIX_LOOKUP_API std::string_view word(DnssecStatus status);

}  // namespace ombrix::lookup
