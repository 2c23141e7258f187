#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "name_reader.h"
#include "byte_reader.h"
#include "ombrix/lookup/query_message.h"
#include "opt_record.h"
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

// The name the answer section is read for: the asked name, then wherever its CNAME chain leads.
// Servers write that name once and point every later owner at it, so the chain remembers where
// the message spells it: an owner that is only a pointer there is the name without a compare
// label by label. Such an owner is still read against every rule.
class AnswerChain {
  public:
    explicit AnswerChain(const WireName& qname) : qname_(qname) {}
    // The asked name must outlive the chain.
    explicit AnswerChain(WireName&&) = delete;

    // Reads the question at the cursor; the first one that spells the asked name is where
    // owners may point.
    Checked readQuestion(ByteReader& reader) {
        if (spelledAt_) {
            return skipQuestion(reader);
        }
        const std::size_t at = reader.offset();
        NameComparison name(qname_);
        auto read = lookup::readQuestion(reader, name);
        if (read && name.same()) {
            spelledAt_ = at;
        }
        return read;
    }

    // Reads one answer record. Records of class IN owned by the chain's name count: a CNAME
    // moves the chain on, one of the type asked goes to onMatch; the rest are passed over,
    // except an OPT record, which has no place here.
    template <class OnMatch>
    Checked readAnswer(ByteReader& reader, std::uint16_t type, OnMatch&& onMatch) {
        const std::size_t at = reader.offset();
        auto record = pointsAtName(reader) ? readOwnedRecord(reader) : readComparedRecord(reader);
        if (!record) {
            return Unexpected(record.error());
        }
        if (auto opt = refuseOpt(record->record); !opt) {
            return opt;
        }
        if (!record->owned || record->record.rrClass != kClassIn) {
            return std::monostate{};
        }
        if (!spelledAt_) {
            spelledAt_ = at;
        }
        if (record->record.type == kTypeCname) {
            return follow(record->record);
        }
        if (record->record.type == type) {
            return onMatch(record->record);
        }
        return std::monostate{};
    }

    // Where the chain ended, when a CNAME moved it.
    const std::optional<WireName>& canonical() const { return canonical_; }
    std::optional<WireName>& canonical() { return canonical_; }

  private:
    struct Answer {
        ResourceRecord record;
        bool owned = false;  // the owner is the chain's name
    };

    const WireName& name() const { return canonical_ ? *canonical_ : qname_; }

    // Whether the name at the cursor is a lone pointer to where the chain's name is spelled.
    bool pointsAtName(const ByteReader& reader) const {
        return spelledAt_ && lonePointerTarget(reader) == spelledAt_;
    }

    static Expected<Answer, ReplyFault> readOwnedRecord(ByteReader& reader) {
        SkippedName owner;
        auto record = readRecord(reader, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        return Answer{*record, true};
    }

    Expected<Answer, ReplyFault> readComparedRecord(ByteReader& reader) const {
        NameComparison owner(name());
        auto record = readRecord(reader, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        return Answer{*record, owner.same()};
    }

    Checked follow(ResourceRecord& record) {
        const std::size_t targetAt = record.data.offset();
        if (auto read = readAliasTarget(record, canonical_); !read) {
            return read;
        }
        spelledAt_ = targetAt;
        return std::monostate{};
    }

    const WireName& qname_;
    std::optional<WireName> canonical_;
    std::optional<std::size_t> spelledAt_;  // where the message spells the chain's name
};

}  // namespace ombrix::lookup
