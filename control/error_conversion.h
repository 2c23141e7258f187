#pragma once

#include "ombrix/component/error_info.h"
#include "hosterrors/numbered_error.h"

namespace ombrix {

// A numbered error of the lookup as it reaches the host: same number, source and description.
component::ErrorInfo toErrorInfo(const host::NumberedError& error);

}  // namespace ombrix
