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

}  // namespace ombrix::lookup
