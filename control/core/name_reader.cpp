#include "control/core/name_reader.h"

#include <cstdint>
#include <string>

namespace ombrix::core {

namespace {

constexpr std::uint8_t kLabelTypeMask = 0xC0;
constexpr std::uint8_t kPointerType = 0xC0;
constexpr std::uint8_t kLabelType = 0x00;

Error malformed(const std::string& what) {
    return queryError("Malformed DNS reply: " + what);
}

// A run of labels that ran into its fence: the end of the message, the end of the record data
// that holds the name, or the name that pointed to it.
Error runOverrun(const ByteReader& run, bool jumped, std::size_t runStart) {
    const std::string at = std::to_string(runStart);
    if (jumped) {
        return malformed(
            "the name at offset " + at +
            ", reached by a compression pointer, runs into the name that points to it");
    }
    if (run.fencedAtMessageEnd()) {
        return runtimeError(
            kSubscriptOutOfRange,
            "Subscript out of range: the reply ends inside the name at offset " + at);
    }
    return malformed("the name at offset " + at + " runs past the end of its record data");
}

}  // namespace

Expected<WireName> readName(ByteReader& reader) {
    const std::size_t nameStart = reader.offset();
    ByteReader run = reader;
    std::size_t runStart = nameStart;
    std::size_t resumeAt = 0;
    int jumps = 0;
    WireName name;
    // One allocation for any name, instead of growing label by label.
    name.bytes.reserve(kMaxWireNameOctets);

    for (;;) {
        const std::size_t at = run.offset();
        const auto head = run.u8();
        if (!head) {
            return runOverrun(run, jumps > 0, runStart);
        }
        if (*head == 0) {
            name.bytes.push_back(0);
            break;
        }
        const auto type = static_cast<std::uint8_t>(*head & kLabelTypeMask);
        if (type == kLabelType) {
            const auto label = run.bytes(*head);
            if (!label) {
                return runOverrun(run, jumps > 0, runStart);
            }
            // The label, its length byte and the root's zero byte still to come must fit.
            if (name.bytes.size() + 1 + label->size() + 1 > kMaxWireNameOctets) {
                return malformed("the name at offset " + std::to_string(nameStart) +
                                 " is longer than 255 octets");
            }
            name.bytes.push_back(*head);
            name.bytes.insert(name.bytes.end(), label->begin(), label->end());
            continue;
        }
        if (type != kPointerType) {
            return malformed("unknown label type 0x" + std::string(type == 0x40 ? "40" : "80") +
                             " at offset " + std::to_string(at));
        }
        const auto low = run.u8();
        if (!low) {
            return runOverrun(run, jumps > 0, runStart);
        }
        const std::size_t target = static_cast<std::size_t>(*head & ~kLabelTypeMask) << 8 | *low;
        if (target >= runStart) {
            return malformed("compression pointer at offset " + std::to_string(at) +
                             " does not point backwards");
        }
        if (++jumps > kMaxCompressionJumps) {
            return malformed("the name at offset " + std::to_string(nameStart) +
                             " follows more than " + std::to_string(kMaxCompressionJumps) +
                             " compression pointers");
        }
        if (jumps == 1) {
            resumeAt = run.offset();
        }
        run = *run.at(target, runStart);
        runStart = target;
    }

    reader.skip((jumps > 0 ? resumeAt : run.offset()) - nameStart);
    return name;
}

}  // namespace ombrix::core
