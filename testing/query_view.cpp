#include "testing/query_view.h"

#include "byte_reader.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::testing {
namespace {

constexpr std::uint8_t kCheckingDisabled = 0x10;  // header flags, low byte
constexpr std::uint32_t kDnssecOk = 0x8000;       // the OPT's TTL

// Plain labels up to the root; our queries never compress.
std::string readLabels(lookup::ByteReader& reader) {
    std::string dotted;
    while (const auto length = reader.u8()) {
        const auto label = reader.bytes(*length);
        if (*length == 0 || !label) {
            break;
        }
        dotted += (dotted.empty() ? "" : ".") +
                  std::string(reinterpret_cast<const char*>(label->data()), label->size());
    }
    return dotted;
}

}  // namespace

QueryView readQuery(const std::vector<std::uint8_t>& message) {
    lookup::ByteReader reader(message);
    QueryView query;
    query.id = reader.u16().value_or(0);
    reader.skip(1);
    query.checkingDisabled = (reader.u8().value_or(0) & kCheckingDisabled) != 0;
    reader.skip(6);  // question, answer and authority counts
    const std::uint16_t additionals = reader.u16().value_or(0);
    query.name = readLabels(reader);
    query.type = reader.u16().value_or(0);
    reader.skip(2);  // class
    for (std::uint16_t i = 0; i < additionals; ++i) {
        readLabels(reader);
        const auto type = reader.u16();
        reader.skip(2);  // class: the payload size, for an OPT
        const auto ttl = reader.u32();
        const auto length = reader.u16();
        if (!type || !ttl || !length || !reader.skip(*length)) {
            break;
        }
        if (*type == lookup::kTypeOpt) {
            query.edns = true;
            query.dnssecOk = (*ttl & kDnssecOk) != 0;
        }
    }
    return query;
}

}  // namespace ombrix::testing
