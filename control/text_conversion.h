#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ombrix {

// Host text is UTF-16; the lookup works in UTF-8. Unlike component::toUtf8, which puts U+FFFD
// in its place, an unpaired surrogate names no character and gives nothing here: a server or
// domain the host did not mean is never asked for.
std::optional<std::string> strictUtf8(std::u16string_view text);

}  // namespace ombrix
