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

}  // namespace ombrix::lookup
