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

bool isAnswer(lookup::Outcome outcome) {
    return !lookup::isTemporary(outcome) && outcome != lookup::Outcome::invalidDomain;
}

}  // namespace ombrix::tools
