#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace component {

// A fixed 128-bit identifier of a class, an interface or a type library.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Braced text form: {6B29FC40-CA47-1067-B31D-00DD010662DA}; braces optional, any case.
    static std::optional<Guid> parse(std::string_view text);
    // Braced, upper case.
    std::string toString() const;

    friend auto operator<=>(const Guid&, const Guid&) = default;
};

}  // namespace component
