#pragma once

#include <cstdint>

#include "control/core/error.h"

namespace ombrix::core {

// A fresh query ID from the kernel's secure random source, so that an off-path sender
// cannot guess it and slip in a forged reply.
Expected<std::uint16_t> randomQueryId();

}  // namespace ombrix::core
