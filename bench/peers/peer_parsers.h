#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ombrix::bench {

// The peers' ways of reading the MX answers of a reply, each expanding every exchange name
// into text. They return how many exchangers they read, or 0 when the reply is refused.
std::size_t caresReadMx(std::span<const std::uint8_t> reply);
std::size_t libresolvReadMx(std::span<const std::uint8_t> reply);

// libresolv doing what our walk does: answers taken only when their owner is the asked
// name or the end of its CNAME chain, every exchange with its preference and TTL into the same
// typed result, in preference order, and the exchangers' addresses from the additional section
// as text. Returns how many exchangers it listed.
std::size_t libresolvReadMxResult(std::span<const std::uint8_t> reply, const char* domain);

}  // namespace ombrix::bench
