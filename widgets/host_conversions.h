#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ombrix/component/variant.h"

namespace ombrix {

// The conversions a dispatch host applies to results, throwing ControlError with the host's
// `source`: 13 (type mismatch) for a value that is no number, 6 (overflow) for a number out of
// range.

// Decimal text (blanks around it allowed) or an integer, to a signed 16-bit number.
std::int16_t toInt16(const component::Variant& value, std::string_view source);

// A preference travels as the 16 bits of a signed 16-bit value; they are read as the unsigned
// number they are (-1 is preference 65535). A value already in 0..65535 is taken as it is.
std::uint16_t toPreference(const component::Variant& value, std::string_view source);

// A result used as text, in UTF-8: strings as they are, integers in decimal.
std::string toText(const component::Variant& value, std::string_view source);

}  // namespace ombrix
