#pragma once

#include <string_view>

#include "ombrix/component/error_info.h"
#include "ombrix/component/unknown.h"

namespace component {

// Creates an instance of the class registered under progId: looks it up in the user's and the
// system's stores (registry_search.h), loads its library (kept loaded for the life of the
// process), asks the library's class factory. On failure fills `error` (unknown identifier: 429;
// library missing or not a server: 48) and returns a failure code.
ResultCode createObject(std::string_view progId, Ref<Unknown>& out, ErrorInfo& error);

}  // namespace component
