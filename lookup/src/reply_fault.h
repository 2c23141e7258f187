#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// What broke in a reply and where, as a plain value: the reader builds no text on its way, and
// the description is written once, for the reply that failed.
struct ReplyFault {
    enum class Kind : std::uint8_t {
        endsInHeader,
        endsInName,
        endsInQuestion,
        endsInRecordFields,
        endsInRecordData,
        nameOutsideRecord,
        nameRunsIntoPointer,
        nameTooLong,
        unknownLabelType,
        pointerNotBackwards,
        tooManyPointers,
        bytesAfterName,
        mxWithoutPreference,
        addressOfWrongLength,
        dataEndsInField,   // a TLSA or TXT record's data ends inside one of its fields
        txtWithoutString,  // a TXT record whose data holds no character-string
        optOutsideAdditional,
        secondOpt,
        optOwnerNotRoot,
        optionOutsideOpt,
        extendedErrorWithoutCode,
    };
    Kind kind = Kind::endsInHeader;
    std::size_t offset = 0;  // of the name, pointer, label, question, record or option at fault
    std::size_t detail = 0;  // the label type, the bytes left over, or the record type
    // The section and the entry in it, "answer" 1 of 5, once the walk knows them.
    const char* section = nullptr;
    std::size_t index = 0;
    std::size_t count = 0;
};

// Success without a value, or the fault.
using Checked = Expected<std::monostate, ReplyFault>;

inline Unexpected<ReplyFault> fail(ReplyFault::Kind kind, std::size_t offset,
                                   std::size_t detail = 0) {
    return Unexpected(ReplyFault{kind, offset, detail});
}

// A fault found inside a section, marked with the section and the entry.
inline Checked located(Checked read, const char* section, std::size_t index, std::size_t count) {
    if (!read) {
        read.error().section = section;
        read.error().index = index;
        read.error().count = count;
    }
    return read;
}

// The fault for people: kind cutShort when the reply ends before its counts and lengths say,
// malformed for any other broken rule.
Fault describe(const ReplyFault& fault);

}  // namespace ombrix::lookup
