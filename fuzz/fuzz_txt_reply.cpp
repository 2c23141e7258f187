// Any datagram read as the reply to a TXT query, its texts then read as MTA-STS and TLS
// reporting records: nothing may break, and what is given must hold together.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "ombrix/lookup/policy_record.h"
#include "ombrix/lookup/txt_reply.h"

namespace {

using namespace ombrix::lookup;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void checkPolicies(const RecordReply<std::string>& txt) {
    const auto sts = readMtaStsRecord(txt, DnssecStatus::insecure);
    require((sts.status == PolicyRecordStatus::valid) == !sts.id.empty());
    require(sts.id.size() <= 32 && std::all_of(sts.id.begin(), sts.id.end(), isAlphanumeric));
    require(sts.status == PolicyRecordStatus::valid || sts.status == PolicyRecordStatus::absent ||
            !sts.reason.empty() || txt.failed());

    const auto rpt = readTlsRptRecord(txt, DnssecStatus::secure);
    require((rpt.status == PolicyRecordStatus::valid) == !rpt.rua.empty());
    require(std::all_of(rpt.rua.begin(), rpt.rua.end(), [](const std::string& uri) {
        return !uri.empty() && uri.find(',') == std::string::npos &&
               uri.find(';') == std::string::npos;
    }));
    require(txt.failed() == (sts.status == PolicyRecordStatus::error));
    require(txt.failed() == (rpt.status == PolicyRecordStatus::error));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WireName qname{
        {8, '_', 'm', 't', 'a', '-', 's', 't', 's', 7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 0}};
    const auto read = readTxtReply(std::span<const std::uint8_t>(data, size), qname);
    require(read.fault.has_value() == read.failed());
    require((read.status == RecordStatus::found) == !read.records.empty());
    checkPolicies(read);

    // The bytes themselves as the texts of records, one per line, reach the parsers directly.
    RecordReply<std::string> lines{RecordStatus::found, {}, {}, {}};
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= text.size();) {
        const auto end = std::min(text.find('\n', start), text.size());
        lines.records.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    checkPolicies(lines);
    return 0;
}
