#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "name_reader.h"
#include "byte_reader.h"
#include "reply_fault.h"

namespace ombrix::lookup {

// One resource record as the message holds it, its data still to be read. The owner name
// went to the sink the caller gave readRecord.
struct ResourceRecord {
    std::size_t offset = 0;
    std::uint16_t type = 0;
    std::uint16_t rrClass = 0;
    std::uint32_t ttl = 0;
    ByteReader data{std::span<const std::uint8_t>{}};  // fenced at RDLENGTH
};

// Reads the record at the cursor, its owner name into ownerSink (see readName), and steps past
// its data. On failure the cursor has not moved.
template <class OwnerSink>
Expected<ResourceRecord, ReplyFault> readRecord(ByteReader& reader, OwnerSink& ownerSink) {
    using Kind = ReplyFault::Kind;
    ByteReader cursor = reader;
    const std::size_t offset = cursor.offset();
    if (auto owner = readName(cursor, ownerSink); !owner) {
        return Unexpected(owner.error());
    }
    auto fixed = cursor.take(10);
    if (!fixed) {
        return fail(Kind::endsInRecordFields, offset);
    }
    // The ten bytes are there, so every field reads.
    ResourceRecord record{offset, fixed->u16().value_or(0), fixed->u16().value_or(0),
                          fixed->u32().value_or(0), ByteReader(std::span<const std::uint8_t>{})};
    auto data = cursor.take(fixed->u16().value_or(0));
    if (!data) {
        return fail(Kind::endsInRecordData, offset);
    }
    record.data = *data;
    reader = cursor;
    return record;
}

// Record data that holds a name and nothing after it: bytes left over mean the record is not
// what it claims to be, so the reply is refused rather than half believed.
inline Checked nothingAfterName(const ResourceRecord& record) {
    if (record.data.remaining() != 0) {
        return fail(ReplyFault::Kind::bytesAfterName, record.offset, record.data.remaining());
    }
    return std::monostate{};
}

// Reads the question at the cursor, a name (into nameSink, see readName), a type and a class.
template <class NameSink>
Checked readQuestion(ByteReader& reader, NameSink& nameSink) {
    const std::size_t offset = reader.offset();
    if (auto read = readName(reader, nameSink); !read) {
        return read;
    }
    if (!reader.skip(4)) {
        return fail(ReplyFault::Kind::endsInQuestion, offset);
    }
    return std::monostate{};
}

// Steps past the question at the cursor.
inline Checked skipQuestion(ByteReader& reader) {
    SkippedName name;
    return readQuestion(reader, name);
}

// Steps past the record at the cursor, checking its owner name.
inline Checked skipRecord(ByteReader& reader) {
    SkippedName owner;
    auto record = readRecord(reader, owner);
    if (!record) {
        return Unexpected(record.error());
    }
    return std::monostate{};
}

// The name a CNAME record leads to, in wire form: the chain goes on from there.
inline Checked readAliasTarget(ResourceRecord& record, std::optional<WireName>& target) {
    WireNameBuilder end;
    if (auto read = readName(record.data, end); !read) {
        return read;
    }
    if (auto rest = nothingAfterName(record); !rest) {
        return rest;
    }
    target = std::move(end.name());
    return std::monostate{};
}

}  // namespace ombrix::lookup
