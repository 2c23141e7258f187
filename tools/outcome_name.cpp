#include "tools/outcome_name.h"

namespace ombrix::tools {

std::string_view outcomeName(lookup::Outcome outcome) {
    using lookup::Outcome;
    switch (outcome) {
        case Outcome::exchangers:
        case Outcome::nullMxMixed:
            return "mx";
        case Outcome::nullMx:
            return "null_mx";
        case Outcome::noMx:
            return "no_mx";
        case Outcome::nxdomain:
            return "nxdomain";
        case Outcome::serverFailure:
            return "server_failure";
        case Outcome::noReply:
            return "timeout";
        case Outcome::malformed:
            return "malformed";
        case Outcome::invalidDomain:
            return "invalid";
    }
    return "invalid";
}

std::string_view addressStatusName(lookup::AddressStatus status) {
    using lookup::AddressStatus;
    switch (status) {
        case AddressStatus::found:
            return "ok";
        case AddressStatus::foundViaAlias:
            return "cname";
        case AddressStatus::nxdomain:
            return "nxdomain";
        case AddressStatus::noAddress:
            return "no_address";
        case AddressStatus::addressLiteral:
            return "ip_literal";
        case AddressStatus::noReply:
            return "timeout";
        case AddressStatus::serverFailure:
            return "server_failure";
        case AddressStatus::malformed:
            break;
    }
    return "malformed";
}

bool isAnswer(lookup::Outcome outcome) {
    return !lookup::isTemporary(outcome) && outcome != lookup::Outcome::invalidDomain;
}

}  // namespace ombrix::tools
