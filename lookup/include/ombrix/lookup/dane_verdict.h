#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/tlsa_status.h"

namespace ombrix::lookup {

// Whether mail to a domain can be protected by DANE.
enum class DaneVerdict : std::uint8_t {
    verified,       // every exchanger has secure addresses and usable TLSA
    partial,        // some exchangers have usable TLSA, not all
    none,           // no exchanger has TLSA records
    unusable,       // TLSA records exist, none of them usable
    insecure,       // the MX answer is not secure: DANE does not apply
    notApplicable,  // the domain takes no mail (null MX, NXDOMAIN) or is no valid name
    error,          // a lookup that decides the verdict failed or was bogus: temporary
};

// What was found out about one exchanger (or, for a domain without MX, the domain itself).
struct ExchangerSecurity {
    DnssecStatus addressDnssec = DnssecStatus::indeterminate;  // the weaker of A and AAAA
    TlsaStatus tlsa = TlsaStatus::error;
};

// The verdict for a domain from its MX lookup's outcome, the DNSSEC status of that answer (or
// of its denial) and what was found for each exchanger (for noMx, the implicit one), in order:
//  - invalidDomain: notApplicable;
//  - the MX lookup failed, or its status is bogus or indeterminate: error;
//  - null MX (also beside other records, where the domain says it takes no mail), NXDOMAIN:
//    notApplicable;
//  - the MX answer insecure: insecure;
//  - any exchanger with a bogus or indeterminate address status, or a TLSA error: error, as
//    that exchanger might have had usable TLSA;
//  - every exchanger usable: verified; some: partial; else any unusable: unusable; else none
//    (skipped ones count as not usable, and no exchanger at all as none).
OMBRIX_LOOKUP_API DaneVerdict daneVerdict(Outcome mxOutcome, DnssecStatus mxDnssec,
                                          std::span<const ExchangerSecurity> exchangers);

// The word for the verdict: "verified", "partial", "none", "unusable", "insecure",
// "not_applicable" or "error".
OMBRIX_LOOKUP_API std::string_view word(DaneVerdict verdict);

}  // namespace ombrix::lookup
