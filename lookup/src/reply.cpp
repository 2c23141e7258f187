#include "reply.h"

#include "name_reader.h"
#include "byte_reader.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

std::optional<ReplyHeader> readHeader(std::span<const std::uint8_t> message) {
    auto fields = ByteReader(message).take(kHeaderOctets);
    if (!fields) {
        return std::nullopt;
    }
    // All twelve bytes are there, so every read below succeeds.
    ReplyHeader header;
    header.id = fields->u16().value_or(0);
    const std::uint8_t flagsHigh = fields->u8().value_or(0);
    const std::uint8_t flagsLow = fields->u8().value_or(0);
    header.response = (flagsHigh & 0x80) != 0;
    header.opcode = static_cast<std::uint8_t>(flagsHigh >> 3 & 0x0F);
    header.truncated = (flagsHigh & 0x02) != 0;
    header.authenticData = (flagsLow & 0x20) != 0;
    header.checkingDisabled = (flagsLow & 0x10) != 0;
    header.rcode = static_cast<std::uint8_t>(flagsLow & 0x0F);
    header.questions = fields->u16().value_or(0);
    header.answers = fields->u16().value_or(0);
    header.authorities = fields->u16().value_or(0);
    header.additionals = fields->u16().value_or(0);
    return header;
}

bool isReplyTo(std::span<const std::uint8_t> message, std::uint16_t id, const WireName& qname,
               std::uint16_t qtype) {
    const auto header = readHeader(message);
    if (!header || header->id != id || !header->response || header->opcode != 0 ||
        header->questions != 1) {
        return false;
    }
    ByteReader reader(message);
    reader.skip(kHeaderOctets);
    NameComparison name(qname);
    if (!readName(reader, name) || !name.same()) {
        return false;
    }
    return reader.u16() == qtype && reader.u16() == kClassIn;
}

}  // namespace ombrix::lookup
