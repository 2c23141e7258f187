#include "ombrix/lookup/tlsa_status.h"

#include <algorithm>
#include <array>

namespace ombrix::lookup {
namespace {

constexpr std::uint8_t kDaneTrustAnchor = 2;
constexpr std::uint8_t kDaneEndEntity = 3;
constexpr std::uint8_t kPublicKey = 1;
constexpr std::uint8_t kFullData = 0;
constexpr std::uint8_t kSha256 = 1;
constexpr std::uint8_t kSha512 = 2;
constexpr std::size_t kHexDigitsPerOctet = 2;

bool dataFitsMatching(const TlsaRecord& record) {
    const std::size_t octets = record.data.size() / kHexDigitsPerOctet;
    switch (record.matching) {
        case kFullData:
            return octets > 0;
        case kSha256:
            return octets == 32;
        case kSha512:
            return octets == 64;
        default:
            return false;
    }
}

}  // namespace

bool isUsableForSmtp(const TlsaRecord& record) {
    const bool daneUsage = record.usage == kDaneTrustAnchor || record.usage == kDaneEndEntity;
    return daneUsage && record.selector <= kPublicKey && dataFitsMatching(record);
}

TlsaStatus tlsaStatus(DnssecStatus addressDnssec, const RecordReply<TlsaRecord>* reply,
                      DnssecStatus tlsaDnssec) {
    if (addressDnssec != DnssecStatus::secure) {
        return TlsaStatus::skipped;
    }
    if (reply == nullptr || reply->failed() || isFailure(tlsaDnssec)) {
        return TlsaStatus::error;
    }
    if (reply->records.empty()) {
        return TlsaStatus::absent;
    }
    const bool usable = tlsaDnssec == DnssecStatus::secure &&
                        std::any_of(reply->records.begin(), reply->records.end(), isUsableForSmtp);
    return usable ? TlsaStatus::usable : TlsaStatus::unusable;
}

std::string_view word(TlsaStatus status) {
    // In the order of the enumerators.
    static constexpr std::array<std::string_view, 5> kWords = {"usable", "unusable", "absent",
                                                               "skipped", "error"};
    return kWords.at(static_cast<std::size_t>(status));
}

}  // namespace ombrix::lookup
