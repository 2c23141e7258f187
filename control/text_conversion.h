#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ombrix {

// Host text is UTF-16; the lookup core works in UTF-8.

// Empty when the text holds an unpaired surrogate, which names no character.
std::optional<std::string> toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

}  // namespace ombrix
