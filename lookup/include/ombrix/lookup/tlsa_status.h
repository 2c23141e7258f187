#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/record_reply.h"
#include "ombrix/lookup/tlsa_reply.h"

namespace ombrix::lookup {

// Whether a mail server may authenticate an SMTP peer with this record: usage DANE-TA (2) or
// DANE-EE (3), selector 0 or 1, matching type 0, 1 or 2, and data of the length the matching
// type needs (32 octets for SHA-256, 64 for SHA-512, any but none for the full data). PKIX
// usages are not for SMTP: there is no agreed set of authorities to check them against.
OMBRIX_LOOKUP_API bool isUsableForSmtp(const TlsaRecord& record);

// What the TLSA lookup for one exchanger came to.
enum class TlsaStatus : std::uint8_t {
    usable,    // at least one record is usable for SMTP
    unusable,  // records exist, none of them usable
    absent,    // the server proved there are none
    skipped,   // the exchanger's addresses are not secure, so TLSA was not asked
    error,     // the lookup failed, or its answer was bogus: temporary
};

// The TLSA lookup of one exchanger as a mail server judges it, given the status of the
// exchanger's addresses and, when TLSA was asked, the reply read and its DNSSEC status (reply
// is null when TLSA was not asked; tlsaDnssec then says nothing).
//  - addresses not secure: skipped (an answer given anyway is not looked at);
//  - a failed reply, or a bogus or indeterminate status: error;
//  - secure records: usable or unusable by isUsableForSmtp; a secure denial: absent;
//  - an insecure answer may not be used to authenticate: its records count as unusable, and an
//    insecure denial as absent, since either way delivery goes on without DANE.
// Addresses secure but TLSA never asked is a caller's slip, reported as error.
OMBRIX_LOOKUP_API TlsaStatus tlsaStatus(DnssecStatus addressDnssec,
                                        const RecordReply<TlsaRecord>* reply,
                                        DnssecStatus tlsaDnssec);

// The word for the status: "usable", "unusable", "absent", "skipped" or "error".
OMBRIX_LOOKUP_API std::string_view word(TlsaStatus status);

}  // namespace ombrix::lookup
