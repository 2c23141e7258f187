#pragma once

#include <cstdint>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// A fresh query ID from the kernel's secure random source, so that an off-path sender
// cannot guess it and slip in a forged reply.
Expected<std::uint16_t, Fault> randomQueryId();

}  // namespace ombrix::lookup
