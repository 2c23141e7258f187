#include "ombrix/lookup/response_code.h"

#include <array>

namespace ombrix::lookup {
namespace {

// RFC 1035 and RFC 2136 names, indexed by code.
constexpr std::array<const char*, 11> kNames = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                                "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                                "NXRRSET", "NOTAUTH", "NOTZONE"};

// The extended codes a reply to our queries can carry: we send EDNS version 0 and no cookie.
constexpr std::uint16_t kBadVersion = 16;
constexpr std::uint16_t kBadCookie = 23;

}  // namespace

std::string responseCodeName(std::uint16_t rcode) {
    if (rcode < kNames.size()) {
        return kNames[rcode];
    }
    if (rcode == kBadVersion) {
        return "BADVERS";
    }
    if (rcode == kBadCookie) {
        return "BADCOOKIE";
    }
    return "response code " + std::to_string(rcode);
}

}  // namespace ombrix::lookup
