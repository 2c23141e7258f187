#pragma once

#include <string>
#include <string_view>

#include "ombrix/lookup/mx_result.h"

namespace ombrix::host {

// A failure as a host or a person finally sees it: a number, the name of what raised it, and a
// sentence. Numbers below 1000 are the run-time errors a dispatch host knows. The control and
// mxlookup both speak this way; the lookup library itself only reports typed faults.
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

// The sentence users have always read for a fault: the headline of its kind ("Problem
// receiving MX query") before the lookup's own description, or the headline alone when the
// lookup has nothing to add.
std::string hostDescription(const lookup::Fault& fault);

// The one place a fault gets its number: a refused domain is error 5, a reply cut short error
// 9, anything else error 20000.
NumberedError numberedError(const lookup::Fault& fault);

// Error 9 for an entry asked where there is none to give, saying why.
NumberedError subscriptOutOfRange(std::string_view why);

}  // namespace ombrix::host
