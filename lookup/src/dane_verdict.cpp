#include "ombrix/lookup/dane_verdict.h"

#include <algorithm>
#include <array>

namespace ombrix::lookup {
namespace {

bool undecided(const ExchangerSecurity& exchanger) {
    return isFailure(exchanger.addressDnssec) || exchanger.tlsa == TlsaStatus::error;
}

DaneVerdict fromExchangers(std::span<const ExchangerSecurity> exchangers) {
    if (std::any_of(exchangers.begin(), exchangers.end(), undecided)) {
        return DaneVerdict::error;
    }
    const auto count = [&](TlsaStatus status) {
        return std::count_if(exchangers.begin(), exchangers.end(),
                             [status](const ExchangerSecurity& e) { return e.tlsa == status; });
    };
    const auto usable = count(TlsaStatus::usable);
    if (usable > 0) {
        return static_cast<std::size_t>(usable) == exchangers.size() ? DaneVerdict::verified
                                                                     : DaneVerdict::partial;
    }
    return count(TlsaStatus::unusable) > 0 ? DaneVerdict::unusable : DaneVerdict::none;
}

}  // namespace

DaneVerdict daneVerdict(Outcome mxOutcome, DnssecStatus mxDnssec,
                        std::span<const ExchangerSecurity> exchangers) {
    if (mxOutcome == Outcome::invalidDomain) {
        return DaneVerdict::notApplicable;
    }
    if (isTemporary(mxOutcome) || isFailure(mxDnssec)) {
        return DaneVerdict::error;
    }
    if (mxOutcome == Outcome::nullMx || mxOutcome == Outcome::nullMxMixed ||
        mxOutcome == Outcome::nxdomain) {
        return DaneVerdict::notApplicable;
    }
    if (mxDnssec != DnssecStatus::secure) {
        return DaneVerdict::insecure;
    }
    return fromExchangers(exchangers);
}

std::string_view word(DaneVerdict verdict) {
    // In the order of the enumerators.
    static constexpr std::array<std::string_view, 7> kWords = {
        "verified", "partial", "none", "unusable", "insecure", "not_applicable", "error"};
    return kWords.at(static_cast<std::size_t>(verdict));
}

}  // namespace ombrix::lookup
