#pragma once

#include <string>

#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// A failure as a host or a person finally sees it: a number, the name of what raised it, and a
// sentence. Numbers below 1000 are the run-time errors a dispatch host knows.
struct NumberedError {
    int number = 0;
    std::string source;
    std::string description;

    friend bool operator==(const NumberedError&, const NumberedError&) = default;
};

inline constexpr int kErrorInvalidCall = 5;  // invalid procedure call or argument
inline constexpr int kErrorSubscript = 9;    // subscript out of range
inline constexpr int kErrorQuery = 20000;    // the lookup itself failed

// Source of the run-time errors (5, 9).
inline constexpr const char* kRuntimeErrorSource = "Ombrix";
// Source of error 20000.
inline constexpr const char* kQueryErrorSource = "MXQuery";

// The one place a fault gets its number: a refused domain is error 5, a reply cut short error
// 9, anything else error 20000; the description is the fault's own.
OMBRIX_LOOKUP_API NumberedError numberedError(const Fault& fault);

}  // namespace ombrix::lookup
