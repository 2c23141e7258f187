#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "name_reader.h"
#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/query_message.h"
#include "reply_fault.h"
#include "resource_record.h"

namespace ombrix::lookup {

// One section of a reply: its name for faults, its count from the header, and what the reader
// does with each entry.
template <class Reader>
struct SectionEntry {
    const char* name;
    std::uint16_t count;
    Checked (Reader::*readEntry)();
};

// Reads every entry of the four sections in order; the first fault ends the walk, marked with
// its section and entry.
template <class Reader>
Checked walkSections(Reader& reader, const std::array<SectionEntry<Reader>, 4>& sections) {
    for (const auto& section : sections) {
        for (std::size_t i = 0; i < section.count; ++i) {
            auto entry = located((reader.*section.readEntry)(), section.name, i, section.count);
            if (!entry) {
                return entry;
            }
        }
    }
    return std::monostate{};
}

// Reads one answer record. Records of class IN owned by qname, or by the end of the CNAME chain
// that starts at it (kept in canonical), count: a CNAME moves the chain on, one of the type
// asked goes to onMatch; the rest are passed over.
template <class OnMatch>
Checked readChainedAnswer(ByteReader& reader, const WireName& qname,
                          std::optional<WireName>& canonical, std::uint16_t type,
                          OnMatch&& onMatch) {
    NameComparison owner(canonical ? *canonical : qname);
    auto record = readRecord(reader, owner);
    if (!record) {
        return Unexpected(record.error());
    }
    if (record->rrClass != kClassIn || !owner.same()) {
        return std::monostate{};
    }
    if (record->type == kTypeCname) {
        return readAliasTarget(*record, canonical);
    }
    if (record->type == type) {
        return onMatch(*record);
    }
    return std::monostate{};
}

}  // namespace ombrix::lookup
