#include "ombrix/lookup/response_code.h"

#include <array>

namespace ombrix::lookup {
namespace {

// RFC 1035 and RFC 2136 names, indexed by code.
constexpr std::array<const char*, 11> kNames = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                                "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                                "NXRRSET", "NOTAUTH", "NOTZONE"};

}  // namespace

std::string responseCodeName(std::uint8_t rcode) {
    if (rcode < kNames.size()) {
        return kNames[rcode];
    }
    return "response code " + std::to_string(rcode);
}

}  // namespace ombrix::lookup
