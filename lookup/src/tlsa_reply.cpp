#include "ombrix/lookup/tlsa_reply.h"

#include <string>

#include "record_set_reader.h"

namespace ombrix::lookup {
namespace {

std::string lowerHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

Expected<TlsaRecord, ReplyFault> decodeTlsa(ResourceRecord& record) {
    const auto usage = record.data.u8();
    const auto selector = record.data.u8();
    const auto matching = record.data.u8();
    if (!usage || !selector || !matching) {
        return fail(ReplyFault::Kind::dataEndsInField, record.offset, kTypeTlsa);
    }
    // The fence is the record's length, so the rest is exactly the association data.
    const auto data = record.data.bytes(record.data.remaining());
    return TlsaRecord{*usage, *selector, *matching,
                      lowerHex(data.value_or(std::span<const std::uint8_t>{}))};
}

}  // namespace

RecordReply<TlsaRecord> readTlsaReply(std::span<const std::uint8_t> reply, const WireName& qname) {
    return readRecordSet<TlsaRecord>(reply, qname, kTypeTlsa, decodeTlsa);
}

}  // namespace ombrix::lookup
