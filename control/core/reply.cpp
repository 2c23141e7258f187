#include "control/core/reply.h"

#include <string>

#include "control/core/byte_reader.h"
#include "control/core/name_reader.h"
#include "control/core/presentation.h"
#include "control/core/query_message.h"
#include "control/core/resource_record.h"

namespace ombrix::core {

namespace {

constexpr std::size_t kHeaderOctets = 12;

Error malformed(const std::string& what) {
    return queryError("Malformed DNS reply: " + what);
}

// Says where in the reply a fault lies: "(answer 2 of 5)".
Error within(Error error, const char* section, std::size_t index, std::size_t count) {
    error.description += " (" + std::string(section) + " " + std::to_string(index + 1) + " of " +
                         std::to_string(count) + ")";
    return error;
}

Status skipQuestions(ByteReader& reader, std::uint16_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t offset = reader.offset();
        SkippedName name;
        if (auto read = readNameInto(reader, name); !read) {
            return within(read.error(), "question", i, count);
        }
        if (!reader.skip(4)) {
            return within(runtimeError(kSubscriptOutOfRange,
                                       "Subscript out of range: the reply ends inside the type "
                                       "and class of the question at offset " +
                                           std::to_string(offset)),
                          "question", i, count);
        }
    }
    return ok();
}

// A record's data that should hold nothing more.
Status leftOver(const ResourceRecord& record) {
    return malformed("the record at offset " + std::to_string(record.offset) + " has " +
                     std::to_string(record.data.remaining()) + " bytes after its name");
}

// A name that is the whole of a record's data, as in a CNAME.
Status readNameData(ResourceRecord& record, WireName& name) {
    WireNameBuilder builder(name);
    auto read = readNameInto(record.data, builder);
    if (read && record.data.remaining() != 0) {
        return leftOver(record);
    }
    return read;
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// MX data is a preference and an exchange, and nothing after it: bytes left over mean the
// record is not what it claims to be, so the reply is refused rather than half believed.
// The root exchange (a domain that takes no mail) and blank exchanges are not stored.
Status addExchange(ResourceRecord& record, MxStore& store) {
    const auto pref = record.data.u16();
    if (!pref) {
        return malformed("the MX record at offset " + std::to_string(record.offset) +
                         " is too short to hold a preference");
    }
    std::string server = store.takeText();
    PresentationText text(server);
    if (auto read = readNameInto(record.data, text); !read) {
        return read;
    }
    if (record.data.remaining() != 0) {
        return leftOver(record);
    }
    if (!isBlank(server)) {
        store.add(std::move(server), *pref);
    }
    return ok();
}

// Steps over the records of a section so that a reply cut short anywhere is noticed.
Status skipRecords(ByteReader& reader, std::uint16_t count, const char* section) {
    for (std::size_t i = 0; i < count; ++i) {
        SkippedName owner;
        if (auto record = readRecord(reader, owner); !record) {
            return within(record.error(), section, i, count);
        }
    }
    return ok();
}

}  // namespace

std::optional<ReplyHeader> readHeader(std::span<const std::uint8_t> message) {
    ByteReader reader(message);
    const auto id = reader.u16();
    const auto flagsHigh = reader.u8();
    const auto flagsLow = reader.u8();
    const auto questions = reader.u16();
    const auto answers = reader.u16();
    const auto authorities = reader.u16();
    const auto additionals = reader.u16();
    if (!additionals) {
        return std::nullopt;
    }
    ReplyHeader header;
    header.id = *id;
    header.response = (*flagsHigh & 0x80) != 0;
    header.opcode = static_cast<std::uint8_t>(*flagsHigh >> 3 & 0x0F);
    header.truncated = (*flagsHigh & 0x02) != 0;
    header.rcode = static_cast<std::uint8_t>(*flagsLow & 0x0F);
    header.questions = *questions;
    header.answers = *answers;
    header.authorities = *authorities;
    header.additionals = *additionals;
    return header;
}

bool isReplyTo(std::span<const std::uint8_t> message, std::uint16_t id, const WireName& qname) {
    const auto header = readHeader(message);
    if (!header || header->id != id || !header->response || header->opcode != 0 ||
        header->questions != 1) {
        return false;
    }
    ByteReader reader(message);
    reader.skip(kHeaderOctets);
    NameComparison name(qname);
    const bool read = readNameInto(reader, name).ok();
    const auto type = reader.u16();
    const auto qclass = reader.u16();
    return read && type && qclass && *type == kTypeMx && *qclass == kClassIn && name.same();
}

Expected<std::size_t> walkAnswers(std::span<const std::uint8_t> message, const WireName& qname,
                                  MxStore& store) {
    store.reset();
    const auto header = readHeader(message);
    if (!header) {
        return runtimeError(kSubscriptOutOfRange,
                            "Subscript out of range: the reply ends inside its 12-byte header");
    }
    ByteReader reader(message);
    reader.skip(kHeaderOctets);
    if (auto skipped = skipQuestions(reader, header->questions); !skipped) {
        return skipped.error();
    }

    // The answers for qname, or for the end of a CNAME chain that starts at it.
    WireName target = qname;
    for (std::size_t i = 0; i < header->answers; ++i) {
        NameComparison owner(target);
        auto record = readRecord(reader, owner);
        if (!record) {
            return within(record.error(), "answer", i, header->answers);
        }
        auto& answer = record.value();
        if (answer.rrClass != kClassIn || !owner.same()) {
            continue;
        }
        if (answer.type == kTypeCname) {
            WireName next;
            if (auto read = readNameData(answer, next); !read) {
                return within(read.error(), "answer", i, header->answers);
            }
            target = std::move(next);
        } else if (answer.type == kTypeMx) {
            if (auto added = addExchange(answer, store); !added) {
                return within(added.error(), "answer", i, header->answers);
            }
        }
    }

    if (auto skipped = skipRecords(reader, header->authorities, "authority record"); !skipped) {
        return skipped.error();
    }
    if (auto skipped = skipRecords(reader, header->additionals, "additional record"); !skipped) {
        return skipped.error();
    }
    store.sortByPreference();
    return store.count();
}

}  // namespace ombrix::core
