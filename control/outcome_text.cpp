#include "control/outcome_text.h"

namespace ombrix {

std::u16string_view outcomeText(lookup::Outcome outcome) {
    using lookup::Outcome;
    switch (outcome) {
        case Outcome::exchangers:
            return u"exchangers";
        case Outcome::nullMx:
            return u"null-mx";
        case Outcome::nullMxMixed:
            return u"null-mx-mixed";
        case Outcome::noMx:
            return u"no-mx";
        case Outcome::nxdomain:
            return u"no-such-name";
        case Outcome::serverFailure:
            return u"server-failure";
        case Outcome::noReply:
            return u"no-reply";
        case Outcome::malformed:
            return u"malformed";
        case Outcome::invalidDomain:
            return u"invalid-domain";
    }
    return u"malformed";
}

}  // namespace ombrix
