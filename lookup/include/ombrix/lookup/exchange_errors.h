#pragma once

#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

// The two ways an exchange with the server fails: the query did not go out, or no reply to
// it came back.
Error sendingError();
Error receivingError();

}  // namespace ombrix::lookup
