#include "tools/bulk/exchanger_status.h"

#include <algorithm>

namespace ombrix::tools {
namespace {

int rank(lookup::AddressStatus status) {
    using lookup::AddressStatus;
    switch (status) {
        case AddressStatus::noAddress:
            return 0;
        case AddressStatus::malformed:
            return 1;
        case AddressStatus::serverFailure:
            return 2;
        case AddressStatus::noReply:
            return 3;
        case AddressStatus::nxdomain:
            return 4;
        case AddressStatus::found:
            return 5;
        case AddressStatus::foundViaAlias:
            return 6;
        case AddressStatus::addressLiteral:
            break;
    }
    return 7;
}

}  // namespace

lookup::AddressStatus combinedStatus(lookup::AddressStatus sofar, lookup::AddressStatus answer) {
    return rank(answer) > rank(sofar) ? answer : sofar;
}

}  // namespace ombrix::tools
