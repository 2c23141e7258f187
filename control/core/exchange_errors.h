#pragma once

#include "control/core/error.h"

namespace ombrix::core {

// The two ways an exchange with the server fails: the query did not go out, or no reply to
// it came back.
Error sendingError();
Error receivingError();

}  // namespace ombrix::core
