#pragma once

#include <cstdint>

#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

// A fresh query ID from the kernel's secure random source, so that an off-path sender
// cannot guess it and slip in a forged reply.
Expected<std::uint16_t> randomQueryId();

}  // namespace ombrix::lookup
