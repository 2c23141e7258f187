#include "exchange_errors.h"

#include <string>
#include <system_error>

namespace ombrix::lookup {
namespace {

Fault described(Fault::Kind kind, std::string_view headline, std::string_view what) {
    std::string description(headline);
    description.append(": ").append(what);
    return Fault{kind, std::move(description)};
}

}  // namespace

Fault sendingFault(std::string_view what) {
    return described(Fault::Kind::sendFailed, "Problem sending MX query", what);
}

Fault receivingFault(std::string_view what) {
    return described(Fault::Kind::noReply, "Problem receiving MX query", what);
}

Fault socketFault(const ServerAddress& server, int systemError) {
    return Fault{Fault::Kind::sendFailed,
                 "Cannot open a socket to DNS server \"" + server.setting +
                     "\": " + std::generic_category().message(systemError)};
}

Fault refusedFault() {
    return receivingFault("the server refused the query (port unreachable)");
}

Fault triesSpent(std::optional<Fault> last, std::string_view transport, int tries,
                 std::chrono::milliseconds total) {
    if (!last) {
        return receivingFault("the lookup's " + std::to_string(total.count()) +
                              " ms ran out before the query went out over " +
                              std::string(transport));
    }
    last->description += " (" + std::string(transport) + ", " + std::to_string(tries) +
                         (tries == 1 ? " try" : " tries") + " within the lookup's " +
                         std::to_string(total.count()) + " ms)";
    return std::move(*last);
}

}  // namespace ombrix::lookup
