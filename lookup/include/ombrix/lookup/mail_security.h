#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/dane_verdict.h"
#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/lookup_engine.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/policy_record.h"
#include "ombrix/lookup/tlsa_reply.h"
#include "ombrix/lookup/tlsa_status.h"

namespace ombrix::lookup {

// The TLSA lookup of one exchanger.
struct TlsaLookup {
    // The name whose answer decided: "_25._tcp." and the exchanger's name, or for an alias
    // the CNAME-expanded name when that one had records or failed.
    std::string name;
    bool asked = false;  // false when the addresses were not secure, so dnssec says nothing
    DnssecStatus dnssec = DnssecStatus::indeterminate;
    TlsaStatus status = TlsaStatus::skipped;
    std::vector<TlsaRecord> records;  // as the answer gave them, usable or not
};

// What a sending mail server would find out about one exchanger.
struct ExchangerPosture {
    std::string name;
    // Where the exchanger's name leads when it is an alias.
    std::optional<std::string> canonicalName;
    DnssecStatus addressDnssec = DnssecStatus::indeterminate;  // the weaker of A and AAAA
    TlsaLookup tlsa;
};

// Whether mail to one domain can be protected, and how.
struct MailSecurity {
    MxResult mx;                                        // asked with the DO bit
    DnssecStatus dnssec = DnssecStatus::indeterminate;  // of the MX answer or its denial
    std::vector<ExchangerPosture> exchangers;           // in the order of mx.exchangers
    // For a domain without MX: the domain itself, where mail is delivered.
    std::optional<ExchangerPosture> implicitExchanger;
    DaneVerdict dane = DaneVerdict::error;
    MtaStsRecord mtaSts;
    TlsRptRecord tlsRpt;
};

// Asks, through the engine and request.server (which must be a validating resolver), every
// question a sending mail server asks about request.domain before it insists on TLS: the MX
// answer and its DNSSEC status; per exchanger (the domain itself for noMx, none for a null
// MX) its A and AAAA, and when both are secure its TLSA records at "_25._tcp." + the name
// (an alias's expanded name first, then its own); the MTA-STS and TLS reporting records.
// Every question carries the DO bit; one whose reply alone cannot tell its status is asked
// again with CD set. The questions of one domain run at once where they do not depend on
// each other. done is called once, from the engine's process() or run(), with the verdict.
// The engine must outlive the lookup.
OMBRIX_LOOKUP_API void submitMailSecurity(LookupEngine& engine, const LookupRequest& request,
                                          std::function<void(MailSecurity&&)> done);

// Whether the server validates: asks for the DNSKEY of request.domain (the root zone when
// empty; a signed zone under a private trust anchor may be named instead) with the DO bit,
// runs the engine until the answer is in, and says whether it carried the AD bit (a secure
// denial counts); the fault says why not, when not.
struct ValidationCheck {
    bool validating = false;
    std::optional<Fault> fault;
};
OMBRIX_LOOKUP_API ValidationCheck checkValidatingServer(LookupEngine& engine,
                                                        const LookupRequest& request);

}  // namespace ombrix::lookup
