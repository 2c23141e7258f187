#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/record_reply.h"

namespace ombrix::lookup {

// What a domain's policy record in TXT (MTA-STS, TLS reporting) came to.
enum class PolicyRecordStatus : std::uint8_t {
    valid,    // exactly one record of the policy's version, well formed
    absent,   // no record of the policy's version
    invalid,  // several such records, or one that breaks the policy's rules
    error,    // the lookup failed, or its answer was bogus: temporary, never "no record"
};

// The MTA-STS record at _mta-sts.DOMAIN: the one TXT record that starts with "v=STSv1;" and
// carries an id of 1 to 32 ASCII letters and digits. Records that start otherwise are not
// about MTA-STS and are passed over.
struct MtaStsRecord {
    PolicyRecordStatus status = PolicyRecordStatus::error;
    std::string id;      // when valid
    std::string reason;  // what is wrong, when invalid or error
};

// The TLS reporting record at _smtp._tls.DOMAIN: the one TXT record that starts with
// "v=TLSRPTv1;" with an rua field listing at least one URI of scheme mailto or https.
struct TlsRptRecord {
    PolicyRecordStatus status = PolicyRecordStatus::error;
    std::vector<std::string> rua;  // the mailto and https URIs, in record order, when valid
    std::string reason;            // what is wrong, when invalid or error
};

// Both readers take the TXT reply and its DNSSEC status. A failed reply, or a bogus or
// indeterminate status, is an error; NXDOMAIN and no data are absent. The policy does not
// need DNSSEC, so an insecure answer counts like a secure one. Within a record, fields are
// "name=value" separated by ";" with spaces or tabs around, the name a letter or digit and up
// to 31 more of those or "_", "-", "."; a field otherwise makes the record invalid, as does a
// field named twice. Fields of unknown names are passed over.
OMBRIX_LOOKUP_API MtaStsRecord readMtaStsRecord(const RecordReply<std::string>& txt,
                                                DnssecStatus dnssec);

// Other rua URIs than mailto and https (in any case) are passed over; a mailto URI needs an
// address after the colon, an https one a host after "//".
OMBRIX_LOOKUP_API TlsRptRecord readTlsRptRecord(const RecordReply<std::string>& txt,
                                                DnssecStatus dnssec);

// The word for the status: "valid", "absent", "invalid" or "error".
OMBRIX_LOOKUP_API std::string_view word(PolicyRecordStatus status);

}  // namespace ombrix::lookup
