#pragma once

#include <string>

#include "control/core/domain_name.h"

namespace ombrix::core {

// A wire name as text: labels joined by ".", no final dot, the root as "". A "." inside a
// label becomes "\.", a "\" becomes "\\" and a byte outside printable ASCII "\DDD", so the
// text never carries control characters and reads back to the same labels.
std::string toPresentation(const WireName& name);

}  // namespace ombrix::core
