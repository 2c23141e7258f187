#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/record_reply.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kTypeTlsa = 52;

// One TLSA record: how the certificate is to be matched, and the data it is matched against.
struct TlsaRecord {
    std::uint8_t usage = 0;     // 0 PKIX-TA, 1 PKIX-EE, 2 DANE-TA, 3 DANE-EE
    std::uint8_t selector = 0;  // 0 the whole certificate, 1 its public key
    std::uint8_t matching = 0;  // 0 the data itself, 1 its SHA-256, 2 its SHA-512
    std::string data;           // the association data as lower-case hex, possibly empty

    friend bool operator==(const TlsaRecord&, const TlsaRecord&) = default;
};

// Reads an accepted reply to a TLSA query for qname (say "_25._tcp.mx.example"), strictly, as
// the MX reader reads: records of class IN and type TLSA owned by qname or by the end of a
// CNAME chain that starts at it are the records. Data shorter than its three fixed octets is
// malformed; values outside the known ones are kept as they are, for the usability rule to
// judge.
OMBRIX_LOOKUP_API RecordReply<TlsaRecord> readTlsaReply(std::span<const std::uint8_t> reply,
                                                        const WireName& qname);

}  // namespace ombrix::lookup
