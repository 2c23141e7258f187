#pragma once

#include <string_view>

#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// The ways an exchange with the server fails, each saying what happened: the query did not
// go out, or no reply to it came back.
Fault sendingFault(std::string_view what);
Fault receivingFault(std::string_view what);

// A socket to the server that the system refuses to open or connect, with its reason.
Fault socketFault(const ServerAddress& server, int systemError);

}  // namespace ombrix::lookup
