#pragma once

#include <cstddef>
#include <cstdint>

#include "control/core/byte_reader.h"
#include "control/core/domain_name.h"
#include "control/core/error.h"

namespace ombrix::core {

// One resource record as the message holds it, its data still to be read.
struct ResourceRecord {
    std::size_t offset = 0;
    WireName owner;
    std::uint16_t type = 0;
    std::uint16_t rrClass = 0;
    std::uint32_t ttl = 0;
    ByteReader data;  // fenced at RDLENGTH
};

// Reads the record at the cursor and steps past its data. Error 9 when the message ends
// before the record does; the cursor has not moved after a failure.
Expected<ResourceRecord> readRecord(ByteReader& reader);

}  // namespace ombrix::core
