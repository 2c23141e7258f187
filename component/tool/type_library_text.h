#pragma once

#include <string>

#include "ombrix/component/type_library.h"

namespace component {

// The type library as text for people: the library, its classes with their programmatic
// identifiers, its interfaces with their members in declaration order (dispatch identifier
// in hex, kind, signature with "ref" before by-reference parameters) and its records with
// their fields.
std::string describeTypeLibrary(const TypeLibrary& library);

}  // namespace component
