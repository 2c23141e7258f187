#pragma once

#include "component/error_info.h"
#include "ombrix/lookup/error.h"

namespace ombrix {

// A failure of the lookup core as it reaches the host: same number, source and description.
component::ErrorInfo toErrorInfo(const lookup::Error& error);

}  // namespace ombrix
