#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "byte_reader.h"
#include "ombrix/lookup/domain_name.h"
#include "reply_fault.h"

namespace ombrix::lookup {

// Longest chain of compression pointers one name may follow.
inline constexpr int kMaxCompressionJumps = 128;
// Longest name in wire form, length bytes and the root's zero byte included.
inline constexpr std::size_t kMaxWireNameOctets = 255;

// The only reader of names inside a DNS message. Reads the name at the cursor, expanding
// compression pointers, and hands its labels in order to the sink: sink.label(bytes) for each
// label, then sink.root() for the zero byte. A pointer must lead strictly backwards, before the
// start of the run of labels that holds it, and the run it leads to must end before that
// start; label types 0x40 and 0x80 are malformed; the whole name may not exceed 255 octets.
// The labels at the cursor never read past the reader's fence, so a name inside record data
// stays inside it. A sink only ever sees labels that passed every rule so far, but a name can
// still fail after some labels went to the sink; what the sink built is then meaningless. On
// success the cursor lies just past the name's zero byte, or just past its first pointer; on
// failure it has not moved.
template <class Sink>
Checked readName(ByteReader& reader, Sink& sink) {
    constexpr std::size_t kLabelTypeMask = 0xC0;
    constexpr std::size_t kPointerType = 0xC0;
    constexpr std::size_t kLabelType = 0x00;
    using Kind = ReplyFault::Kind;

    const std::size_t nameStart = reader.offset();
    ByteReader run = reader;
    std::size_t runStart = nameStart;
    std::optional<std::size_t> resumeAt;  // just past the first pointer
    std::size_t octets = 0;
    int jumps = 0;
    // The run ran into its fence: the name that pointed to it, the end of the record data that
    // holds the name, or the end of the message.
    auto overrun = [&] {
        const Kind kind = jumps > 0                  ? Kind::nameRunsIntoPointer
                          : run.fencedAtMessageEnd() ? Kind::endsInName
                                                     : Kind::nameOutsideRecord;
        return fail(kind, runStart);
    };

    for (;;) {
        const std::size_t at = run.offset();
        const auto head = run.u8();
        if (!head) {
            return overrun();
        }
        if (*head == 0) {
            sink.root();
            break;
        }
        const std::size_t type = *head & kLabelTypeMask;
        if (type == kLabelType) {
            const auto label = run.bytes(*head);
            if (!label) {
                return overrun();
            }
            // The label, its length byte and the root's zero byte still to come must fit.
            octets += 1 + label->size();
            if (octets + 1 > kMaxWireNameOctets) {
                return fail(Kind::nameTooLong, nameStart);
            }
            sink.label(*label);
            continue;
        }
        if (type != kPointerType) {
            return fail(Kind::unknownLabelType, at, type);
        }
        const auto low = run.u8();
        if (!low) {
            return overrun();
        }
        const std::size_t target = (*head & ~kLabelTypeMask) << 8 | std::size_t{*low};
        if (target >= runStart) {
            return fail(Kind::pointerNotBackwards, at);
        }
        if (++jumps > kMaxCompressionJumps) {
            return fail(Kind::tooManyPointers, nameStart);
        }
        if (!resumeAt) {
            resumeAt = run.offset();
        }
        // The target lies before runStart, which lies inside the message.
        run = run.at(target, runStart).value_or(run);
        runStart = target;
    }
    reader.skip(resumeAt.value_or(run.offset()) - nameStart);
    return std::monostate{};
}

// Where the name at the cursor points when it is nothing but a compression pointer; nothing
// when it starts with a label. The name is not read, let alone checked.
inline std::optional<std::size_t> lonePointerTarget(ByteReader reader) {
    constexpr std::uint16_t kPointer = 0xC000;
    const auto head = reader.u16();
    if (!head || (*head & kPointer) != kPointer) {
        return std::nullopt;
    }
    return std::size_t{static_cast<std::uint16_t>(*head & ~kPointer)};
}

// Checks a name against every rule and keeps nothing of it.
struct SkippedName {
    void label(std::span<const std::uint8_t>) {}
    void root() {}
};

// Builds the name uncompressed, in wire form.
class WireNameBuilder {
  public:
    void label(std::span<const std::uint8_t> label) {
        name_.bytes.push_back(static_cast<std::uint8_t>(label.size()));
        name_.bytes.insert(name_.bytes.end(), label.begin(), label.end());
    }
    void root() { name_.bytes.push_back(0); }
    WireName& name() { return name_; }

  private:
    WireName name_;
};

// Compares the name as it is read with a wire name, label by label, ASCII letters
// case-insensitively, as sameName does, without building it.
class NameComparison {
  public:
    explicit NameComparison(const WireName& expected) : expected_(expected.bytes) {}
    // The name compared with must outlive the comparison.
    explicit NameComparison(WireName&&) = delete;
    void label(std::span<const std::uint8_t> label) {
        if (!same_) {
            return;
        }
        const auto length = expected_.u8();
        const auto bytes =
            length && *length == label.size() ? expected_.bytes(*length) : std::nullopt;
        // Names mostly come back in the case they were asked in: try the plain compare first.
        same_ = bytes && (std::equal(label.begin(), label.end(), bytes->begin()) ||
                          std::equal(label.begin(), label.end(), bytes->begin(),
                                     [](std::uint8_t x, std::uint8_t y) {
                                         return foldAsciiCase(x) == foldAsciiCase(y);
                                     }));
    }
    void root() {
        same_ = same_ && expected_.u8() == std::uint8_t{0} && expected_.remaining() == 0;
    }
    // Meaningful once the name was read successfully.
    bool same() const { return same_; }

  private:
    ByteReader expected_;
    bool same_ = true;
};

}  // namespace ombrix::lookup
