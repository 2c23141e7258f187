#include "reply_fault.h"

#include <string>

#include "name_reader.h"
#include "ombrix/lookup/txt_reply.h"

namespace ombrix::lookup {
namespace {

using Kind = ReplyFault::Kind;

Fault cutShort(const std::string& where) {
    return {Fault::Kind::cutShort, "the reply ends inside " + where};
}

Fault malformed(const std::string& what) {
    return {Fault::Kind::malformed, "Malformed DNS reply: " + what};
}

Fault describeHere(const ReplyFault& fault) {
    const std::string at = std::to_string(fault.offset);
    switch (fault.kind) {
        case Kind::endsInHeader:
            return cutShort("its 12-byte header");
        case Kind::endsInName:
            return cutShort("the name at offset " + at);
        case Kind::endsInQuestion:
            return cutShort("the type and class of the question at offset " + at);
        case Kind::endsInRecordFields:
            return cutShort("the fixed fields of the record at offset " + at);
        case Kind::endsInRecordData:
            return cutShort("the data of the record at offset " + at);
        case Kind::nameOutsideRecord:
            return malformed("the name at offset " + at + " runs past the end of its record data");
        case Kind::nameRunsIntoPointer:
            return malformed(
                "the name at offset " + at +
                ", reached by a compression pointer, runs into the name that points to it");
        case Kind::nameTooLong:
            return malformed("the name at offset " + at + " is longer than 255 octets");
        case Kind::unknownLabelType:
            return malformed("unknown label type 0x" +
                             std::string(fault.detail == 0x40 ? "40" : "80") + " at offset " + at);
        case Kind::pointerNotBackwards:
            return malformed("compression pointer at offset " + at + " does not point backwards");
        case Kind::tooManyPointers:
            return malformed("the name at offset " + at + " follows more than " +
                             std::to_string(kMaxCompressionJumps) + " compression pointers");
        case Kind::bytesAfterName:
            return malformed("the record at offset " + at + " has " + std::to_string(fault.detail) +
                             " bytes after its name");
        case Kind::addressOfWrongLength:
            return malformed("the address record at offset " + at + " holds " +
                             std::to_string(fault.detail) + " octets");
        case Kind::dataEndsInField:
            return malformed("the " + std::string(fault.detail == kTypeTxt ? "TXT" : "TLSA") +
                             " record at offset " + at + " ends inside its data");
        case Kind::txtWithoutString:
            return malformed("the TXT record at offset " + at + " holds no character-string");
        case Kind::optOutsideAdditional:
            return malformed("the OPT record at offset " + at +
                             " lies outside the additional section");
        case Kind::secondOpt:
            return malformed("the OPT record at offset " + at + " is the reply's second");
        case Kind::optOwnerNotRoot:
            return malformed("the OPT record at offset " + at + " is not owned by the root");
        case Kind::optionOutsideOpt:
            return malformed("the EDNS option at offset " + at +
                             " runs past the end of its OPT record");
        case Kind::extendedErrorWithoutCode:
            return malformed("the Extended DNS Error at offset " + at +
                             " is too short to hold an info-code");
        case Kind::mxWithoutPreference:
            break;
    }
    return malformed("the MX record at offset " + at + " is too short to hold a preference");
}

}  // namespace

Fault describe(const ReplyFault& fault) {
    Fault described = describeHere(fault);
    if (fault.section) {
        described.description += " (" + std::string(fault.section) + " " +
                                 std::to_string(fault.index + 1) + " of " +
                                 std::to_string(fault.count) + ")";
    }
    return described;
}

}  // namespace ombrix::lookup
