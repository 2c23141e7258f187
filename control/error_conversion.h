#pragma once

#include "ombrix/component/error_info.h"
#include "ombrix/lookup/numbered_error.h"

namespace ombrix {

// A numbered error of the lookup as it reaches the host: same number, source and description.
component::ErrorInfo toErrorInfo(const lookup::NumberedError& error);

}  // namespace ombrix
