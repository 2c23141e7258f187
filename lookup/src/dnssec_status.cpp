#include "ombrix/lookup/dnssec_status.h"

#include <algorithm>
#include <array>

namespace ombrix::lookup {
namespace {

constexpr std::uint8_t kNoError = 0;
constexpr std::uint8_t kServerFailure = 2;
constexpr std::uint8_t kNameError = 3;

// Extended DNS Error info codes that concern DNSSEC.
constexpr std::uint16_t kUnsupportedDnskeyAlgorithm = 1;
constexpr std::uint16_t kStaleAnswer = 3;
constexpr std::uint16_t kLastDnssecError = 12;  // NSEC Missing

bool answered(const ValidatingReply& reply) {
    return reply.rcode == kNoError || reply.rcode == kNameError;
}

// Whether an Extended DNS Error says the server refused the data as failing validation.
bool reportsValidationFailure(const ValidatingReply& reply) {
    const std::uint16_t first = answered(reply) ? kStaleAnswer + 1 : kUnsupportedDnskeyAlgorithm;
    return std::any_of(
        reply.extendedErrors.begin(), reply.extendedErrors.end(),
        [first](std::uint16_t code) { return code >= first && code <= kLastDnssecError; });
}

bool sameAnswer(const ValidatingReply& a, const ValidatingReply& b) {
    if (a.rcode != b.rcode) {
        return false;
    }
    return std::is_permutation(a.answer.begin(), a.answer.end(), b.answer.begin(), b.answer.end());
}

}  // namespace

DnssecStatus dnssecStatus(const std::optional<ValidatingReply>& plain,
                          const std::optional<ValidatingReply>& checkingDisabled) {
    if (!plain) {
        return DnssecStatus::indeterminate;
    }
    if (answered(*plain) && plain->authenticData) {
        return DnssecStatus::secure;
    }
    if (reportsValidationFailure(*plain)) {
        return DnssecStatus::bogus;
    }
    if (plain->rcode == kServerFailure) {
        return checkingDisabled && answered(*checkingDisabled) ? DnssecStatus::bogus
                                                               : DnssecStatus::indeterminate;
    }
    if (answered(*plain) && checkingDisabled && sameAnswer(*plain, *checkingDisabled)) {
        return DnssecStatus::insecure;
    }
    return DnssecStatus::indeterminate;
}

DnssecStatus weaker(DnssecStatus a, DnssecStatus b) {
    // The enumerators run from the strongest to the weakest but for the last two.
    auto rank = [](DnssecStatus status) {
        return status == DnssecStatus::bogus ? 4 : static_cast<int>(status);
    };
    return rank(a) >= rank(b) ? a : b;
}

std::string_view word(DnssecStatus status) {
    // In the order of the enumerators.
    static constexpr std::array<std::string_view, 4> kWords = {"secure", "insecure", "bogus",
                                                               "indeterminate"};
    return kWords.at(static_cast<std::size_t>(status));
}

}  // namespace ombrix::lookup
