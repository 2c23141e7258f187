#include "hosterrors/numbered_error.h"

namespace ombrix::host {
namespace {

using Kind = lookup::Fault::Kind;

constexpr std::string_view kSubscriptHeadline = "Subscript out of range";

std::string_view headline(Kind kind) {
    switch (kind) {
        case Kind::sendFailed:
            return "Problem sending MX query";
        case Kind::noReply:
            return "Problem receiving MX query";
        case Kind::cutShort:
            return kSubscriptHeadline;
        default:
            return {};
    }
}

std::string joined(std::string_view head, std::string_view description) {
    if (head.empty() || description.empty()) {
        return std::string(head.empty() ? description : head);
    }
    std::string text(head);
    text.append(": ").append(description);
    return text;
}

}  // namespace

std::string hostDescription(const lookup::Fault& fault) {
    return joined(headline(fault.kind), fault.description);
}

NumberedError numberedError(const lookup::Fault& fault) {
    switch (fault.kind) {
        case Kind::invalidDomain:
            return {kErrorInvalidCall, kRuntimeErrorSource, hostDescription(fault)};
        case Kind::cutShort:
            return {kErrorSubscript, kRuntimeErrorSource, hostDescription(fault)};
        default:
            return {kErrorQuery, kQueryErrorSource, hostDescription(fault)};
    }
}

NumberedError subscriptOutOfRange(std::string_view why) {
    return {kErrorSubscript, kRuntimeErrorSource, joined(kSubscriptHeadline, why)};
}

}  // namespace ombrix::host
