#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

// Longest chain of compression pointers one name may follow.
inline constexpr int kMaxCompressionJumps = 128;
// Longest name in wire form, length bytes and the root's zero byte included.
inline constexpr std::size_t kMaxWireNameOctets = 255;

// What a name broke, as plain values: the walk carries it without building any text, and
// the error is described once, on failure only.
struct NameFault {
    enum class Kind : std::uint8_t {
        none,
        runOverrun,
        tooLong,
        unknownLabelType,
        notBackwards,
        tooManyJumps,
    };
    Kind kind = Kind::none;
    bool fencedAtMessageEnd = false;  // runOverrun
    bool jumped = false;              // runOverrun
    std::uint8_t type = 0;            // unknownLabelType
    std::size_t offset = 0;           // where the fault lies, as its description says

    bool failed() const { return kind != Kind::none; }
};

// The numbered error for a name that failed.
Error describe(const NameFault& fault);

// Names one message has already given in full, by the offset they start at, so that a name
// that is only a pointer to one of them (an owner pointing at the question, typically) is not
// walked again. The pointer itself meets every rule as always, and a remembered name is taken
// only where reading it again would pass too: its first run ends before the pointing name
// starts and the extra jump stays within the cap. It saves work and never changes an outcome.
class NameMemo {
  public:
    struct Entry {
        std::size_t start = 0;
        std::size_t firstRunEnd = 0;
        int jumps = 0;
        // Whether the name equals the name owners are compared with: 1 yes, 0 no, -1 unknown.
        int sameAsTarget = -1;
    };

    Entry* find(std::size_t start) {
        for (std::size_t i = 0; i < count_; ++i) {
            if (entries_[i].start == start) {
                return &entries_[i];
            }
        }
        return nullptr;
    }
    // Nothing when the memo is full; later names are then walked as usual.
    Entry* remember(const Entry& entry) {
        if (count_ == entries_.size()) {
            return nullptr;
        }
        entries_[count_] = entry;
        return &entries_[count_++];
    }
    // Owners are compared with another name from now on.
    void forgetComparisons() {
        for (std::size_t i = 0; i < count_; ++i) {
            entries_[i].sameAsTarget = -1;
        }
    }

  private:
    std::array<Entry, 8> entries_{};
    std::size_t count_ = 0;
};

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
// Given a memo, the name is remembered there, and a bare pointer to a remembered name is
// answered from it when the sink can recall one (sink.recall(entry) returns whether it could).
template <class Sink>
NameFault scanName(ByteReader& reader, Sink& sink, NameMemo* memo = nullptr) {
    constexpr std::size_t kLabelTypeMask = 0xC0;
    constexpr std::size_t kPointerType = 0xC0;
    constexpr std::size_t kLabelType = 0x00;
    using Kind = NameFault::Kind;

    const std::size_t nameStart = reader.offset();
    ByteReader run = reader;
    std::size_t runStart = nameStart;
    std::size_t resumeAt = 0;
    std::size_t octets = 0;
    int jumps = 0;
    NameMemo::Entry* pointee = nullptr;
    auto overrun = [&] {
        return NameFault{Kind::runOverrun, run.fencedAtMessageEnd(), jumps > 0, 0, runStart};
    };

    for (;;) {
        const std::size_t at = run.offset();
        const auto headByte = run.u8();
        if (!headByte) {
            return overrun();
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
                return overrun();
            }
            // The label, its length byte and the root's zero byte still to come must fit.
            octets += 1 + label->size();
            if (octets + 1 > kMaxWireNameOctets) {
                return NameFault{Kind::tooLong, false, false, 0, nameStart};
            }
            sink.label(*label);
            continue;
        }
        if (type != kPointerType) {
            return NameFault{Kind::unknownLabelType, false, false, static_cast<std::uint8_t>(type),
                             at};
        }
        const auto low = run.u8();
        if (!low) {
            return overrun();
        }
        const std::size_t target = (head & ~kLabelTypeMask) << 8 | std::size_t{*low};
        if (target >= runStart) {
            return NameFault{Kind::notBackwards, false, false, 0, at};
        }
        if (memo && jumps == 0 && octets == 0) {
            pointee = memo->find(target);
            if (pointee &&
                (pointee->firstRunEnd > nameStart || pointee->jumps + 1 > kMaxCompressionJumps)) {
                pointee = nullptr;
            }
            if constexpr (requires { sink.recall(*pointee); }) {
                if (pointee && sink.recall(*pointee)) {
                    reader.skip(run.offset() - nameStart);
                    return NameFault{};
                }
            }
        }
        if (++jumps > kMaxCompressionJumps) {
            return NameFault{Kind::tooManyJumps, false, false, 0, nameStart};
        }
        if (jumps == 1) {
            resumeAt = run.offset();
        }
        run = *run.at(target, runStart);
        runStart = target;
    }

    const std::size_t end = jumps > 0 ? resumeAt : run.offset();
    if (memo) {
        NameMemo::Entry* entry = pointee ? pointee : memo->remember({nameStart, end, jumps});
        if constexpr (requires { sink.remembered(*entry); }) {
            if (entry) {
                sink.remembered(*entry);
            }
        }
    }
    reader.skip(end - nameStart);
    return NameFault{};
}

// scanName, with the fault as the numbered error.
template <class Sink>
Status readNameInto(ByteReader& reader, Sink& sink) {
    if (const NameFault fault = scanName(reader, sink); fault.failed()) {
        return describe(fault);
    }
    return ok();
}

// Checks a name against every rule and keeps nothing of it.
struct SkippedName {
    void label(std::span<const std::uint8_t>) {}
    void root() {}
    bool recall(const NameMemo::Entry&) { return true; }
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
    // Only a bare pointer is recalled, so nothing was compared before it.
    bool recall(const NameMemo::Entry& entry) {
        if (entry.sameAsTarget < 0) {
            return false;
        }
        same_ = entry.sameAsTarget == 1;
        return true;
    }
    void remembered(NameMemo::Entry& entry) { entry.sameAsTarget = same_ ? 1 : 0; }
    // Meaningful once the name was read successfully.
    bool same() const { return same_; }

  private:
    ByteReader expected_;
    bool same_ = true;
};

// Reads the name at the cursor into a wire name; see readNameInto.
Expected<WireName> readName(ByteReader& reader);

}  // namespace ombrix::lookup
