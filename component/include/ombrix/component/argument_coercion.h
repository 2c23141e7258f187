#pragma once

#include <cstdint>
#include <string>

#include "ombrix/component/type_library.h"
#include "ombrix/component/variant.h"

namespace component {

// Conversions of call arguments and results as a dispatch host makes them. Each returns 0 on
// success, else the run-time error number: kErrOverflow for a number out of the target's
// range, kErrTypeMismatch for a value that is no number (or no value the type can take).
//
// Numbers: empty is 0; 16- and 32-bit integers convert when in range; a 16-bit reference is
// read through; a string converts when it holds a decimal integer, an optional sign and
// digits with blanks or tabs around them. A fraction or an exponent ("3.0", "1e3") is a type
// mismatch: only whole decimal numbers are accepted, so nothing is ever rounded.
// Strings: empty is the empty string; integers become their decimal text ("-5").
std::int32_t toInt16(const Variant& value, std::int16_t& out);
std::int32_t toInt32(const Variant& value, std::int32_t& out);
std::int32_t toText(const Variant& value, std::u16string& out);

// To a declared type. A Variant type takes any value, a reference as the reference itself;
// records, arrays and Void take none.
std::int32_t coerceTo(const TypeRef& type, const Variant& value, Variant& out);

}  // namespace component
