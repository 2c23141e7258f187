#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ombrix::bench {

// The peers' ways of reading the MX answers of a reply, each expanding every exchange name
// into text. They return how many exchangers they read, or 0 when the reply is refused.
std::size_t caresReadMx(std::span<const std::uint8_t> reply);
std::size_t libresolvReadMx(std::span<const std::uint8_t> reply);

}  // namespace ombrix::bench
