#pragma once

#include "ombrix/component/dispatch.h"

namespace ombrix {

// The programmatic identifier hosts create the control by.
inline constexpr char kMxQueryProgId[] = "Ombrix.mxquery";

// Dispatch identifiers of _mxquery. Hosts that bind late call by these numbers, so they
// never change.
namespace dispid {
inline constexpr component::DispId kDns = 0x40030005;
inline constexpr component::DispId kDisplayAboutBox = 0x60030009;
inline constexpr component::DispId kSetDns = 0x60030004;
inline constexpr component::DispId kGetVersion = 0x6003000A;
inline constexpr component::DispId kMxQuery = 0x60030005;
inline constexpr component::DispId kGetBestMx = 0x60030006;
inline constexpr component::DispId kGetMxEntry = 0x60030007;
inline constexpr component::DispId kGetMxEntryPref = 0x60030008;
// Added later, after the eight above, with identifiers of their own.
inline constexpr component::DispId kGetOutcome = 0x6003000B;
inline constexpr component::DispId kGetResponseCode = 0x6003000C;
inline constexpr component::DispId kIsTemporary = 0x6003000D;
}  // namespace dispid

}  // namespace ombrix
