#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/error.h"
#include "ombrix/lookup/name_reader.h"

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

// What kept a record from being read, as plain values; see NameFault.
struct RecordFault {
    NameFault owner;                // the owner name's fault, if it has one
    const char* cutPart = nullptr;  // else the part of the record the message ends inside
    std::size_t offset = 0;         // of the record

    bool failed() const { return owner.failed() || cutPart != nullptr; }
};

// The numbered error for a record that failed.
Error describe(const RecordFault& fault);

// Reads the record at the cursor, its owner name into ownerSink (see scanName, and memo), and steps
// past its data. Error 9 when the message ends before the record does; the cursor has not
// moved after a failure, and the record is then meaningless.
template <class OwnerSink>
RecordFault readRecord(ByteReader& reader, OwnerSink& ownerSink, ResourceRecord& record,
                       NameMemo* memo = nullptr) {
    ByteReader cursor = reader;
    const std::size_t offset = cursor.offset();
    if (const NameFault owner = scanName(cursor, ownerSink, memo); owner.failed()) {
        return RecordFault{owner, nullptr, offset};
    }
    const auto type = cursor.u16();
    const auto rrClass = cursor.u16();
    const auto ttl = cursor.u32();
    const auto length = cursor.u16();
    if (!type || !rrClass || !ttl || !length) {
        return RecordFault{{}, "the fixed fields", offset};
    }
    auto data = cursor.take(*length);
    if (!data) {
        return RecordFault{{}, "the data", offset};
    }
    reader = cursor;
    record = ResourceRecord{offset, *type, *rrClass, *ttl, *data};
    return RecordFault{};
}

}  // namespace ombrix::lookup
