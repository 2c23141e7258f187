#include "ombrix/lookup/txt_reply.h"

#include <string>

#include "record_set_reader.h"

namespace ombrix::lookup {
namespace {

// The character-strings of one record, joined: a long policy is split into strings of at most
// 255 octets only because one string can hold no more.
Expected<std::string, ReplyFault> decodeTxt(ResourceRecord& record) {
    if (record.data.remaining() == 0) {
        return fail(ReplyFault::Kind::txtWithoutString, record.offset);
    }
    std::string text;
    text.reserve(record.data.remaining());
    while (record.data.remaining() > 0) {
        const auto length = record.data.u8();
        const auto string = record.data.bytes(length.value_or(0));
        if (!string) {
            return fail(ReplyFault::Kind::dataEndsInField, record.offset, kTypeTxt);
        }
        text.append(string->begin(), string->end());
    }
    return text;
}

}  // namespace

RecordReply<std::string> readTxtReply(std::span<const std::uint8_t> reply, const WireName& qname) {
    return readRecordSet<std::string>(reply, qname, kTypeTxt, decodeTxt);
}

}  // namespace ombrix::lookup
