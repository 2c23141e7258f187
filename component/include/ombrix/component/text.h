#pragma once

#include <string>
#include <string_view>

namespace component {

// Conversions between the UTF-8 of files, paths and type libraries and the UTF-16 strings
// that cross dispatch calls. Malformed input becomes U+FFFD rather than failing.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// Compares two identifiers ignoring the case of ASCII letters, as member names and
// programmatic identifiers are compared.
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace component
