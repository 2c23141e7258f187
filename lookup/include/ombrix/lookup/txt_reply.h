#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/record_reply.h"

namespace ombrix::lookup {

inline constexpr std::uint16_t kTypeTxt = 16;

// Reads an accepted reply to a TXT query for qname, strictly, as the MX reader reads. Each TXT
// record becomes one text: its character-strings joined with nothing between them, as policy
// records on TXT are read; records stay separate. The bytes are kept as the zone has them, so
// a text need not be UTF-8. A record without a character-string, or one whose string runs
// past its data, is malformed.
OMBRIX_LOOKUP_API RecordReply<std::string> readTxtReply(std::span<const std::uint8_t> reply,
                                                        const WireName& qname);

}  // namespace ombrix::lookup
