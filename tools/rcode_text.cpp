#include "tools/rcode_text.h"

#include <array>

namespace ombrix::tools {

std::optional<std::string_view> rcodeText(std::uint8_t rcode) {
    constexpr std::array<std::string_view, 6> kNames = {"NOERROR",  "FORMERR", "SERVFAIL",
                                                        "NXDOMAIN", "NOTIMP",  "REFUSED"};
    if (rcode < kNames.size()) {
        return kNames[rcode];
    }
    return std::nullopt;
}

}  // namespace ombrix::tools
