#include "ombrix/lookup/name_reader.h"

#include <string>

namespace ombrix::lookup {

namespace {

Error malformed(const std::string& what) {
    return queryError("Malformed DNS reply: " + what);
}

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

}  // namespace

Error describe(const NameFault& fault) {
    const std::string at = std::to_string(fault.offset);
    switch (fault.kind) {
        case NameFault::Kind::runOverrun:
            return runOverrun(fault.fencedAtMessageEnd, fault.jumped, fault.offset);
        case NameFault::Kind::tooLong:
            return malformed("the name at offset " + at + " is longer than 255 octets");
        case NameFault::Kind::unknownLabelType:
            return malformed("unknown label type 0x" +
                             std::string(fault.type == 0x40 ? "40" : "80") + " at offset " + at);
        case NameFault::Kind::notBackwards:
            return malformed("compression pointer at offset " + at + " does not point backwards");
        case NameFault::Kind::tooManyJumps:
            return malformed("the name at offset " + at + " follows more than " +
                             std::to_string(kMaxCompressionJumps) + " compression pointers");
        case NameFault::Kind::none:
            break;
    }
    return malformed("the name at offset " + at + " is unreadable");
}

Expected<WireName> readName(ByteReader& reader) {
    WireName name;
    WireNameBuilder builder(name);
    if (auto read = readNameInto(reader, builder); !read) {
        return read.error();
    }
    return name;
}

}  // namespace ombrix::lookup
