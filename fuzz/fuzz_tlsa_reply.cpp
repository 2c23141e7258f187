// Any datagram read as the reply to a TLSA query: the reader must end, what it gives must hold
// together, and the rules must take whatever it gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/tlsa_reply.h"
#include "ombrix/lookup/tlsa_status.h"

namespace {

using namespace ombrix::lookup;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isLowerHex(const std::string& text) {
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WireName qname{{3, '_', '2', '5', 4, '_', 't', 'c', 'p', 2, 'm', 'x', 7, 'e',
                                 'x', 'a', 'm', 'p', 'l', 'e', 0}};
    const auto read = readTlsaReply(std::span<const std::uint8_t>(data, size), qname);
    require(read.fault.has_value() == read.failed());
    require((read.status == RecordStatus::found) == !read.records.empty());
    // Hex of the record data, which a datagram of this size can hold.
    require(std::all_of(read.records.begin(), read.records.end(), [size](const TlsaRecord& r) {
        return isLowerHex(r.data) && r.data.size() / 2 <= size;
    }));
    const auto status = tlsaStatus(DnssecStatus::secure, &read, DnssecStatus::secure);
    require((status == TlsaStatus::usable) ==
            std::any_of(read.records.begin(), read.records.end(), isUsableForSmtp));
    require(read.failed() == (status == TlsaStatus::error));
    return 0;
}
