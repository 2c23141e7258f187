#pragma once

#include <cstddef>
#include <cstdint>

#include "control/core/byte_reader.h"
#include "control/core/error.h"
#include "control/core/name_reader.h"

namespace ombrix::core {

// One resource record as the message holds it, its data still to be read. The owner name
// went to the sink the caller gave readRecord.
struct ResourceRecord {
    std::size_t offset = 0;
    std::uint16_t type = 0;
    std::uint16_t rrClass = 0;
    std::uint32_t ttl = 0;
    ByteReader data;  // fenced at RDLENGTH
};

namespace record_faults {

// The message ends inside part ("the fixed fields", "the data") of the record at offset.
Error cut(std::size_t offset, const char* part);

}  // namespace record_faults

// Reads the record at the cursor, its owner name into ownerSink (see readNameInto), and steps
// past its data. Error 9 when the message ends before the record does; the cursor has not
// moved after a failure.
template <class OwnerSink>
Expected<ResourceRecord> readRecord(ByteReader& reader, OwnerSink& ownerSink) {
    ByteReader cursor = reader;
    const std::size_t offset = cursor.offset();
    if (auto owner = readNameInto(cursor, ownerSink); !owner) {
        return owner.error();
    }
    const auto type = cursor.u16();
    const auto rrClass = cursor.u16();
    const auto ttl = cursor.u32();
    const auto length = cursor.u16();
    if (!type || !rrClass || !ttl || !length) {
        return record_faults::cut(offset, "the fixed fields");
    }
    auto data = cursor.take(*length);
    if (!data) {
        return record_faults::cut(offset, "the data");
    }
    reader = cursor;
    return ResourceRecord{offset, *type, *rrClass, *ttl, *data};
}

}  // namespace ombrix::core
