#include <algorithm>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/policy_record.h"
#include "policy_fields.h"

namespace ombrix::lookup {
namespace {

bool startsWithFolded(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(), [](char a, char b) {
               return a == static_cast<char>(foldAsciiCase(static_cast<std::uint8_t>(b)));
           });
}

// A URI reports may go to: an address after "mailto:", or a host after "https://".
bool isReportingUri(std::string_view uri) {
    for (const std::string_view scheme :
         {std::string_view("mailto:"), std::string_view("https://")}) {
        if (startsWithFolded(uri, scheme)) {
            const std::string_view rest = uri.substr(scheme.size());
            return !rest.empty() && rest.front() != '/' && rest.front() != '@';
        }
    }
    return false;
}

}  // namespace

TlsRptRecord readTlsRptRecord(const RecordReply<std::string>& txt, DnssecStatus dnssec) {
    SelectedPolicy policy = selectPolicy(txt, dnssec, "v=TLSRPTv1;");
    if (policy.status != PolicyRecordStatus::valid) {
        return TlsRptRecord{policy.status, {}, std::move(policy.reason)};
    }
    const PolicyField* rua = findField(policy.fields, "rua");
    if (rua == nullptr) {
        return TlsRptRecord{PolicyRecordStatus::invalid, {}, "the record has no rua"};
    }
    TlsRptRecord record{PolicyRecordStatus::valid, {}, {}};
    for (const std::string_view uri : splitTrimmed(rua->value, ',')) {
        if (isReportingUri(uri)) {
            record.rua.emplace_back(uri);
        }
    }
    if (record.rua.empty()) {
        return TlsRptRecord{PolicyRecordStatus::invalid, {}, "rua lists no mailto or https URI"};
    }
    return record;
}

}  // namespace ombrix::lookup
