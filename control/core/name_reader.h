#pragma once

#include <cstddef>

#include "control/core/byte_reader.h"
#include "control/core/domain_name.h"
#include "control/core/error.h"

namespace ombrix::core {

// Longest chain of compression pointers one name may follow.
inline constexpr int kMaxCompressionJumps = 128;
// Longest name in wire form, length bytes and the root's zero byte included.
inline constexpr std::size_t kMaxWireNameOctets = 255;

// The only reader of names inside a DNS message. Reads the name at the cursor, expanding
// compression pointers, and returns it uncompressed. A pointer must lead strictly backwards,
// before the start of the run of labels that holds it, and the run it leads to must end before
// that start; label types 0x40 and 0x80 are malformed; the whole name may not exceed 255
// octets. The labels at the cursor never read past the reader's fence, so a name inside record
// data stays inside it. On success the cursor lies just past the name's zero byte, or just past
// its first pointer; on failure it has not moved. Running out of message is error 9, any
// other fault error 20000.
Expected<WireName> readName(ByteReader& reader);

}  // namespace ombrix::core
