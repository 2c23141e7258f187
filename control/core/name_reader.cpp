#include "control/core/name_reader.h"

#include <string>

namespace ombrix::core {

namespace {

Error malformed(const std::string& what) {
    return queryError("Malformed DNS reply: " + what);
}

}  // namespace

namespace name_faults {

// A run of labels that ran into its fence: the end of the message, the end of the record data
// that holds the name, or the name that pointed to it.
Error runOverrun(bool fencedAtMessageEnd, bool jumped, std::size_t runStart) {
    const std::string at = std::to_string(runStart);
    if (jumped) {
        return malformed(
            "the name at offset " + at +
            ", reached by a compression pointer, runs into the name that points to it");
    }
    if (fencedAtMessageEnd) {
        return runtimeError(
            kSubscriptOutOfRange,
            "Subscript out of range: the reply ends inside the name at offset " + at);
    }
    return malformed("the name at offset " + at + " runs past the end of its record data");
}

Error tooLong(std::size_t nameStart) {
    return malformed("the name at offset " + std::to_string(nameStart) +
                     " is longer than 255 octets");
}

Error unknownLabelType(std::uint8_t type, std::size_t at) {
    return malformed("unknown label type 0x" + std::string(type == 0x40 ? "40" : "80") +
                     " at offset " + std::to_string(at));
}

Error notBackwards(std::size_t at) {
    return malformed("compression pointer at offset " + std::to_string(at) +
                     " does not point backwards");
}

Error tooManyJumps(std::size_t nameStart) {
    return malformed("the name at offset " + std::to_string(nameStart) + " follows more than " +
                     std::to_string(kMaxCompressionJumps) + " compression pointers");
}

}  // namespace name_faults

Expected<WireName> readName(ByteReader& reader) {
    WireName name;
    WireNameBuilder builder(name);
    if (auto read = readNameInto(reader, builder); !read) {
        return read.error();
    }
    return name;
}

}  // namespace ombrix::core
