#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/policy_record.h"
#include "ombrix/lookup/record_reply.h"

namespace ombrix::lookup {

// One "name=value" field of a policy record, pointing into the record's text.
struct PolicyField {
    std::string_view name;
    std::string_view value;
};

// The one record of a policy among a TXT reply's records, split into its fields after the
// version; or, with another status than valid, why there is none. Valid here only means the
// record is there and well formed: each policy then checks its own fields.
struct SelectedPolicy {
    PolicyRecordStatus status = PolicyRecordStatus::error;
    std::string reason;
    std::vector<PolicyField> fields;  // point into txt, which must outlive them
};

// version is the text a record of the policy starts with, its ";" included.
SelectedPolicy selectPolicy(const RecordReply<std::string>& txt, DnssecStatus dnssec,
                            std::string_view version);

// The value of the field with that name (case-sensitive, as the policies write them), or
// nothing.
const PolicyField* findField(const std::vector<PolicyField>& fields, std::string_view name);

// The items of a list separated by separator, each without the spaces and tabs around it;
// empty items (a closing separator, one doubled) are dropped.
std::vector<std::string_view> splitTrimmed(std::string_view list, char separator);

}  // namespace ombrix::lookup
