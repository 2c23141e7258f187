#include "exchange_errors.h"

#include <string>
#include <system_error>

namespace ombrix::lookup {

Fault sendingFault(std::string_view what) {
    return Fault{Fault::Kind::sendFailed, std::string(what)};
}

Fault receivingFault(std::string_view what) {
    return Fault{Fault::Kind::noReply, std::string(what)};
}

Fault socketFault(const ServerAddress& server, int systemError) {
    return Fault{Fault::Kind::systemRefused,
                 "Cannot open a socket to DNS server \"" + server.setting +
                     "\": " + std::generic_category().message(systemError)};
}

Fault refusedFault() {
    return receivingFault("the server refused the query (port unreachable)");
}

Fault outOfMemoryFault() {
    return Fault{Fault::Kind::sendFailed, "Out of memory"};
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
