#include "validated_question.h"

namespace ombrix::lookup {
namespace {

constexpr std::uint16_t kNoError = 0;
constexpr std::uint16_t kServerFailure = 2;
constexpr std::uint16_t kNameError = 3;

ValidatingReply fromSignals(std::uint16_t rcode, const ReplySignals& said,
                            std::vector<std::string> answer) {
    ValidatingReply reply{rcode, said.authenticData, {}, std::move(answer)};
    if (said.edns) {
        for (const auto& error : said.edns->errors) {
            reply.extendedErrors.push_back(error.infoCode);
        }
    }
    return reply;
}

std::string text(const TlsaRecord& record) {
    return std::to_string(record.usage) + ' ' + std::to_string(record.selector) + ' ' +
           std::to_string(record.matching) + ' ' + record.data;
}

const std::string& text(const std::string& record) {
    return record;
}

template <class Record>
std::optional<ValidatingReply> fromRecordReply(const RecordReply<Record>& result) {
    if (!result.rcode || result.status == RecordStatus::malformed) {
        return std::nullopt;
    }
    std::vector<std::string> answer;
    for (const auto& record : result.records) {
        answer.push_back(text(record));
    }
    return fromSignals(*result.rcode, result.reply, std::move(answer));
}

}  // namespace

std::optional<ValidatingReply> validatingReply(const MxResult& result) {
    if (!result.rcode || result.outcome == Outcome::malformed) {
        return std::nullopt;
    }
    std::vector<std::string> answer;
    for (const auto& exchanger : result.exchangers) {
        answer.push_back(std::to_string(exchanger.preference) + ' ' + exchanger.name);
    }
    // The null MX is not listed among the exchangers, yet it is part of the answer.
    if (result.outcome == Outcome::nullMx || result.outcome == Outcome::nullMxMixed) {
        answer.emplace_back("0 .");
    }
    const std::uint16_t rcode = result.reply.edns ? result.reply.edns->rcode : *result.rcode;
    return fromSignals(rcode, result.reply, std::move(answer));
}

std::optional<ValidatingReply> validatingReply(const AddressResult& result) {
    if (!result.rcode || result.status == AddressStatus::malformed) {
        return std::nullopt;
    }
    return fromSignals(*result.rcode, result.reply, result.addresses);
}

std::optional<ValidatingReply> validatingReply(const RecordReply<TlsaRecord>& result) {
    return fromRecordReply(result);
}

std::optional<ValidatingReply> validatingReply(const RecordReply<std::string>& result) {
    return fromRecordReply(result);
}

bool needsCheckingDisabled(const std::optional<ValidatingReply>& plain) {
    if (!plain || dnssecStatus(plain, std::nullopt) != DnssecStatus::indeterminate) {
        return false;
    }
    return plain->rcode == kNoError || plain->rcode == kNameError || plain->rcode == kServerFailure;
}

}  // namespace ombrix::lookup
