#include "ombrix/lookup/reply.h"

#include <string>

#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/name_reader.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/resource_record.h"

namespace ombrix::lookup {

namespace {

constexpr std::size_t kHeaderOctets = 12;

Error malformed(const std::string& what) {
    return queryError("Malformed DNS reply: " + what);
}

// What went wrong where in the walk, as plain values, so the success path builds no text; the
// error is described once, on failure only.
struct WalkFault {
    enum class Kind : std::uint8_t { name, record, questionCut, leftOver, mxTooShort };
    Kind kind = Kind::name;
    NameFault name;          // name
    RecordFault record;      // record
    std::size_t offset = 0;  // questionCut, leftOver, mxTooShort: of the question or record
    std::size_t leftOver = 0;
    // Where in the reply: "(answer 2 of 5)".
    const char* section = nullptr;
    std::size_t index = 0;
    std::size_t count = 0;
};

Error describeBase(const WalkFault& fault) {
    const std::string at = std::to_string(fault.offset);
    switch (fault.kind) {
        case WalkFault::Kind::name:
            return describe(fault.name);
        case WalkFault::Kind::record:
            return describe(fault.record);
        case WalkFault::Kind::questionCut:
            return runtimeError(kSubscriptOutOfRange,
                                "Subscript out of range: the reply ends inside the type "
                                "and class of the question at offset " +
                                    at);
        case WalkFault::Kind::leftOver:
            return malformed("the record at offset " + at + " has " +
                             std::to_string(fault.leftOver) + " bytes after its name");
        case WalkFault::Kind::mxTooShort:
            break;
    }
    return malformed("the MX record at offset " + at + " is too short to hold a preference");
}

Error describe(const WalkFault& fault) {
    Error error = describeBase(fault);
    error.description += " (" + std::string(fault.section) + " " + std::to_string(fault.index + 1) +
                         " of " + std::to_string(fault.count) + ")";
    return error;
}

bool nameFailed(const NameFault& name, WalkFault& fault) {
    if (!name.failed()) {
        return false;
    }
    fault.kind = WalkFault::Kind::name;
    fault.name = name;
    return true;
}

// Marks where a fault lies; always false, for the caller to return.
bool within(WalkFault& fault, const char* section, std::size_t index, std::size_t count) {
    fault.section = section;
    fault.index = index;
    fault.count = count;
    return false;
}

bool skipQuestions(ByteReader& reader, std::uint16_t count, NameMemo& memo, WalkFault& fault) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t offset = reader.offset();
        SkippedName name;
        if (nameFailed(scanName(reader, name, &memo), fault)) {
            return within(fault, "question", i, count);
        }
        if (!reader.skip(4)) {
            fault.kind = WalkFault::Kind::questionCut;
            fault.offset = offset;
            return within(fault, "question", i, count);
        }
    }
    return true;
}

// Checks that a record's data holds nothing more.
bool noneLeftOver(const ResourceRecord& record, WalkFault& fault) {
    if (record.data.remaining() == 0) {
        return true;
    }
    fault.kind = WalkFault::Kind::leftOver;
    fault.offset = record.offset;
    fault.leftOver = record.data.remaining();
    return false;
}

// A name that is the whole of a record's data, as in a CNAME.
bool readNameData(ResourceRecord& record, WireName& name, NameMemo& memo, WalkFault& fault) {
    WireNameBuilder builder(name);
    return !nameFailed(scanName(record.data, builder, &memo), fault) && noneLeftOver(record, fault);
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// MX data is a preference and an exchange, and nothing after it: bytes left over mean the
// record is not what it claims to be, so the reply is refused rather than half believed.
// The root exchange (a domain that takes no mail) and blank exchanges are not stored.
bool addExchange(ResourceRecord& record, MxStore& store, NameMemo& memo, WalkFault& fault) {
    const auto pref = record.data.u16();
    if (!pref) {
        fault.kind = WalkFault::Kind::mxTooShort;
        fault.offset = record.offset;
        return false;
    }
    std::string server = store.takeText();
    PresentationText text(server);
    if (nameFailed(scanName(record.data, text, &memo), fault) || !noneLeftOver(record, fault)) {
        return false;
    }
    if (!isBlank(server)) {
        store.add(std::move(server), *pref);
    }
    return true;
}

bool recordFailed(const RecordFault& record, WalkFault& fault) {
    if (!record.failed()) {
        return false;
    }
    fault.kind = WalkFault::Kind::record;
    fault.record = record;
    return true;
}

// Steps over the records of a section so that a reply cut short anywhere is noticed.
bool skipRecords(ByteReader& reader, std::uint16_t count, const char* section, NameMemo& memo,
                 WalkFault& fault) {
    ResourceRecord record;
    for (std::size_t i = 0; i < count; ++i) {
        SkippedName owner;
        if (recordFailed(readRecord(reader, owner, record, &memo), fault)) {
            return within(fault, section, i, count);
        }
    }
    return true;
}

// The walk after the header; see walkAnswers.
bool walkSections(ByteReader& reader, const ReplyHeader& header, const WireName& qname,
                  MxStore& store, WalkFault& fault) {
    NameMemo memo;
    if (!skipQuestions(reader, header.questions, memo, fault)) {
        return false;
    }
    // The answers for qname, or for the end of a CNAME chain that starts at it.
    // Points at qname until a CNAME moves it, so a walk without one copies nothing.
    const WireName* target = &qname;
    WireName chased;
    ResourceRecord answer;
    for (std::size_t i = 0; i < header.answers; ++i) {
        NameComparison owner(*target);
        if (recordFailed(readRecord(reader, owner, answer, &memo), fault)) {
            return within(fault, "answer", i, header.answers);
        }
        if (answer.rrClass != kClassIn || !owner.same()) {
            continue;
        }
        if (answer.type == kTypeCname) {
            // The owner was compared already, so the chain's end may be overwritten.
            if (!readNameData(answer, chased, memo, fault)) {
                return within(fault, "answer", i, header.answers);
            }
            target = &chased;
            memo.forgetComparisons();
        } else if (answer.type == kTypeMx && !addExchange(answer, store, memo, fault)) {
            return within(fault, "answer", i, header.answers);
        }
    }
    return skipRecords(reader, header.authorities, "authority record", memo, fault) &&
           skipRecords(reader, header.additionals, "additional record", memo, fault);
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
    const bool read = !scanName(reader, name).failed();
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
    if (WalkFault fault; !walkSections(reader, *header, qname, store, fault)) {
        return describe(fault);
    }
    store.sortByPreference();
    return store.count();
}

}  // namespace ombrix::lookup
