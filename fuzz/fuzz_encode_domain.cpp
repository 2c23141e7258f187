// Any text as a domain: what is encoded must go out as a query that reads back to the very
// same name, and what is refused is refused as an invalid argument.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lookup/src/name_reader.h"
#include "byte_reader.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_message.h"
#include "reply.h"

namespace {

using namespace ombrix::lookup;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Text that needs no escaping reads back exactly as it was typed, less one trailing dot.
bool readsBackVerbatim(std::string_view domain) {
    return std::all_of(domain.begin(), domain.end(),
                       [](char c) { return c >= 0x20 && c <= 0x7E && c != '\\'; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view domain(reinterpret_cast<const char*>(data), size);
    const auto encoded = encodeDomain(domain);
    if (!encoded) {
        require(encoded.error().kind == Fault::Kind::invalidDomain);
        return 0;
    }
    const WireName& qname = encoded.value();
    require(qname.bytes.size() >= 3 && qname.bytes.size() <= 255);

    const auto query = buildMxQuery(0x2A2A, qname);
    const auto header = readHeader(query);
    require(header && header->id == 0x2A2A && !header->response && header->questions == 1 &&
            header->answers == 0);

    ByteReader reader(query);
    require(reader.skip(12));
    WireNameBuilder name;
    require(readName(reader, name) && name.name() == qname);
    // The question, then only the OPT record: root owner and ten fixed bytes, no options.
    require(reader.u16() == kTypeMx && reader.u16() == kClassIn);
    require(header->additionals == 1 && reader.u8() == 0 && reader.u16() == kTypeOpt &&
            reader.u16() == kAdvertisedUdpPayload && reader.skip(6) && reader.remaining() == 0);

    if (readsBackVerbatim(domain)) {
        std::string_view typed = domain;
        if (typed.ends_with('.')) {
            typed.remove_suffix(1);
        }
        require(toPresentation(name.name()) == typed);
    }
    return 0;
}
