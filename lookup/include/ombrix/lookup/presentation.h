#pragma once

#include <string>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/export.h"

namespace ombrix::lookup {

// A wire name as text: labels joined by ".", no final dot, the root as "". A "." inside a
// label becomes "\.", a "\" becomes "\\" and a byte outside printable ASCII "\DDD", so the
// text never carries control characters and reads back to the same labels.
OMBRIX_LOOKUP_API std::string toPresentation(const WireName& name);

}  // namespace ombrix::lookup
