#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "control/core/byte_reader.h"
#include "control/core/domain_name.h"
#include "control/core/error.h"

namespace ombrix::core {

// Longest chain of compression pointers one name may follow.
inline constexpr int kMaxCompressionJumps = 128;
// Longest name in wire form, length bytes and the root's zero byte included.
inline constexpr std::size_t kMaxWireNameOctets = 255;

namespace name_faults {

// The descriptions of what readNameInto refuses; built only when a name fails. They take
// plain values so that the reader's cursor can stay in registers.
Error runOverrun(bool fencedAtMessageEnd, bool jumped, std::size_t runStart);
Error tooLong(std::size_t nameStart);
Error unknownLabelType(std::uint8_t type, std::size_t at);
Error notBackwards(std::size_t at);
Error tooManyJumps(std::size_t nameStart);

}  // namespace name_faults

// The only reader of names inside a DNS message. Reads the name at the cursor, expanding
// compression pointers, and hands its labels in order to the sink: sink.label(bytes) for each
// label, then sink.root() for the zero byte. A pointer must lead strictly backwards, before the
// start of the run of labels that holds it, and the run it leads to must end before that
// start; label types 0x40 and 0x80 are malformed; the whole name may not exceed 255 octets.
// The labels at the cursor never read past the reader's fence, so a name inside record data
// stays inside it. A sink only ever sees labels that passed every rule so far, but a name can
// still fail after some labels went to the sink; what the sink built is then meaningless. On
// success the cursor lies just past the name's zero byte, or just past its first pointer; on
// failure it has not moved. Running out of message is error 9, any other fault error 20000.
template <class Sink>
Status readNameInto(ByteReader& reader, Sink& sink) {
    constexpr std::size_t kLabelTypeMask = 0xC0;
    constexpr std::size_t kPointerType = 0xC0;
    constexpr std::size_t kLabelType = 0x00;

    const std::size_t nameStart = reader.offset();
    ByteReader run = reader;
    std::size_t runStart = nameStart;
    std::size_t resumeAt = 0;
    std::size_t octets = 0;
    int jumps = 0;

    for (;;) {
        const std::size_t at = run.offset();
        const auto headByte = run.u8();
        if (!headByte) {
            return name_faults::runOverrun(run.fencedAtMessageEnd(), jumps > 0, runStart);
        }
        // Held at full width: a byte kept in an optional gets spilled and reloaded wider,
        // which stalls every step of the walk.
        const std::size_t head = *headByte;
        if (head == 0) {
            sink.root();
            break;
        }
        const std::size_t type = head & kLabelTypeMask;
        if (type == kLabelType) {
            const auto label = run.bytes(head);
            if (!label) {
                return name_faults::runOverrun(run.fencedAtMessageEnd(), jumps > 0, runStart);
            }
            // The label, its length byte and the root's zero byte still to come must fit.
            octets += 1 + label->size();
            if (octets + 1 > kMaxWireNameOctets) {
                return name_faults::tooLong(nameStart);
            }
            sink.label(*label);
            continue;
        }
        if (type != kPointerType) {
            return name_faults::unknownLabelType(static_cast<std::uint8_t>(type), at);
        }
        const auto low = run.u8();
        if (!low) {
            return name_faults::runOverrun(run.fencedAtMessageEnd(), jumps > 0, runStart);
        }
        const std::size_t target = (head & ~kLabelTypeMask) << 8 | std::size_t{*low};
        if (target >= runStart) {
            return name_faults::notBackwards(at);
        }
        if (++jumps > kMaxCompressionJumps) {
            return name_faults::tooManyJumps(nameStart);
        }
        if (jumps == 1) {
            resumeAt = run.offset();
        }
        run = *run.at(target, runStart);
        runStart = target;
    }

    reader.skip((jumps > 0 ? resumeAt : run.offset()) - nameStart);
    return ok();
}

// Checks a name against every rule and keeps nothing of it.
struct SkippedName {
    void label(std::span<const std::uint8_t>) {}
    void root() {}
};

// Builds the name uncompressed, in wire form.
class WireNameBuilder {
  public:
    explicit WireNameBuilder(WireName& name) : name_(name) {
        name_.bytes.clear();
        // One allocation for any name, instead of growing label by label.
        name_.bytes.reserve(kMaxWireNameOctets);
    }
    void label(std::span<const std::uint8_t> label) {
        name_.bytes.push_back(static_cast<std::uint8_t>(label.size()));
        name_.bytes.insert(name_.bytes.end(), label.begin(), label.end());
    }
    void root() { name_.bytes.push_back(0); }

  private:
    WireName& name_;
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

// Reads the name at the cursor into a wire name; see readNameInto.
Expected<WireName> readName(ByteReader& reader);

}  // namespace ombrix::core
