#include "ombrix/lookup/response_code.h"

#include <array>

#include "ombrix/lookup/reply.h"

namespace ombrix::lookup {
namespace {

constexpr std::uint8_t kNoError = 0;
constexpr std::uint8_t kNameError = 3;

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

Status acceptResponseCode(std::span<const std::uint8_t> reply) {
    auto header = readHeader(reply);
    if (!header) {
        return queryError("Problem receiving MX query");
    }
    if (header->rcode == kNoError || header->rcode == kNameError) {
        return ok();
    }
    return queryError("DNS server answered " + responseCodeName(header->rcode));
}

}  // namespace ombrix::lookup
