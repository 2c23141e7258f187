#pragma once

#include <string_view>

#include "ombrix/lookup/mx_result.h"

namespace ombrix {

// The word that GetOutcome hands the host for an outcome. Hosts compare these words, so they
// never change.
std::u16string_view outcomeText(lookup::Outcome outcome);

}  // namespace ombrix
