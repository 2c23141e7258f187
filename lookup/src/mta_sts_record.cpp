#include <algorithm>

#include "ombrix/lookup/policy_record.h"
#include "policy_fields.h"

namespace ombrix::lookup {
namespace {

constexpr std::size_t kLongestId = 32;

bool isAsciiAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

MtaStsRecord readMtaStsRecord(const RecordReply<std::string>& txt, DnssecStatus dnssec) {
    SelectedPolicy policy = selectPolicy(txt, dnssec, "v=STSv1;");
    if (policy.status != PolicyRecordStatus::valid) {
        return MtaStsRecord{policy.status, {}, std::move(policy.reason)};
    }
    const PolicyField* id = findField(policy.fields, "id");
    if (id == nullptr) {
        return MtaStsRecord{PolicyRecordStatus::invalid, {}, "the record has no id"};
    }
    if (id->value.empty() || id->value.size() > kLongestId ||
        !std::all_of(id->value.begin(), id->value.end(), isAsciiAlphanumeric)) {
        return MtaStsRecord{
            PolicyRecordStatus::invalid, {}, "the id is not 1 to 32 letters and digits"};
    }
    return MtaStsRecord{PolicyRecordStatus::valid, std::string(id->value), {}};
}

}  // namespace ombrix::lookup
