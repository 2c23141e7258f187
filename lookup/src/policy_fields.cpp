#include "policy_fields.h"

#include <algorithm>
#include <array>

namespace ombrix::lookup {
namespace {

constexpr std::size_t kLongestFieldName = 32;

// Both policies name fields alike: a letter or digit, then up to 31 of those or "_", "-", ".".
// Holding to it also keeps the names that reasons quote plain ASCII.
bool isFieldName(std::string_view name) {
    const auto plain = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    return !name.empty() && name.size() <= kLongestFieldName && plain(name.front()) &&
           std::all_of(name.begin(), name.end(),
                       [&](char c) { return plain(c) || c == '_' || c == '-' || c == '.'; });
}

SelectedPolicy refused(PolicyRecordStatus status, std::string reason) {
    return SelectedPolicy{status, std::move(reason), {}};
}

// Splits what follows the version into fields; the reason when one breaks the syntax.
SelectedPolicy splitFields(std::string_view rest) {
    SelectedPolicy policy{PolicyRecordStatus::valid, {}, {}};
    for (const std::string_view field : splitTrimmed(rest, ';')) {
        const auto equals = field.find('=');
        if (equals == std::string_view::npos || !isFieldName(field.substr(0, equals))) {
            return refused(PolicyRecordStatus::invalid, "a field is not name=value");
        }
        const PolicyField parsed{field.substr(0, equals), field.substr(equals + 1)};
        if (findField(policy.fields, parsed.name) != nullptr) {
            return refused(PolicyRecordStatus::invalid,
                           "the field " + std::string(parsed.name) + " appears twice");
        }
        policy.fields.push_back(parsed);
    }
    return policy;
}

}  // namespace

std::vector<std::string_view> splitTrimmed(std::string_view list, char separator) {
    std::vector<std::string_view> items;
    while (!list.empty()) {
        const auto end = list.find(separator);
        std::string_view item = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        const auto first = item.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            items.push_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
        }
    }
    return items;
}

const PolicyField* findField(const std::vector<PolicyField>& fields, std::string_view name) {
    const auto found = std::find_if(fields.begin(), fields.end(), [name](const PolicyField& field) {
        return field.name == name;
    });
    return found == fields.end() ? nullptr : &*found;
}

SelectedPolicy selectPolicy(const RecordReply<std::string>& txt, DnssecStatus dnssec,
                            std::string_view version) {
    if (txt.failed()) {
        return refused(PolicyRecordStatus::error, txt.fault ? txt.fault->description : "");
    }
    if (isFailure(dnssec)) {
        return refused(PolicyRecordStatus::error,
                       "the answer's DNSSEC status is " + std::string(word(dnssec)));
    }
    const std::string* chosen = nullptr;
    std::size_t candidates = 0;
    for (const std::string& text : txt.records) {
        if (std::string_view(text).starts_with(version)) {
            chosen = &text;
            ++candidates;
        }
    }
    if (candidates == 0) {
        return refused(PolicyRecordStatus::absent, {});
    }
    if (candidates > 1) {
        return refused(PolicyRecordStatus::invalid,
                       std::to_string(candidates) + " records start with " + std::string(version));
    }
    return splitFields(std::string_view(*chosen).substr(version.size()));
}

std::string_view word(PolicyRecordStatus status) {
    // In the order of the enumerators.
    static constexpr std::array<std::string_view, 4> kWords = {"valid", "absent", "invalid",
                                                               "error"};
    return kWords.at(static_cast<std::size_t>(status));
}

}  // namespace ombrix::lookup
