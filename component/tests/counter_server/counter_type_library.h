#pragma once

#include "ombrix/component/type_library.h"

// The type library of the test server: one control class, "Test.counter", with a dispatch
// interface whose members exercise every argument and result type the layer coerces.
namespace counter {

namespace dispid {
inline constexpr component::DispId kCount = 0x40030001;      // Int16 property, get and put
inline constexpr component::DispId kName = 0x40030002;       // String property, get only
inline constexpr component::DispId kSum = 0x60030001;        // (a: Int16, b: Int16): Int16
inline constexpr component::DispId kEcho = 0x60030002;       // (text: String): String
inline constexpr component::DispId kWide = 0x60030003;       // (value: Int32): Int32
inline constexpr component::DispId kBump = 0x60030004;       // (ref value: Int16), adds one
inline constexpr component::DispId kPeek = 0x60030005;       // (ref index: Int16): Int16, twice it
inline constexpr component::DispId kFail = 0x60030006;       // raises kFailure
inline constexpr component::DispId kEvents = 0x60030007;     // (): String, the control events
inline constexpr component::DispId kOpenForm = 0x60030008;   // opens a form of the library
inline constexpr component::DispId kFormCount = 0x60030009;  // (): Int32
}  // namespace dispid

inline constexpr std::int32_t kFailureNumber = 20001;

const component::TypeLibrary& typeLibrary();

}  // namespace counter
