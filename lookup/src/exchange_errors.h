#pragma once

#include <chrono>
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

// The server answered a UDP query with ICMP port unreachable.
Fault refusedFault();

// Memory ran out before the lookup's result was whole; the text needs none of its own.
Fault outOfMemoryFault();

// Why one try brought no answer.
struct Miss {
    Fault fault;
    bool final = false;  // another try cannot help: the server refused, or nothing goes out
};

// The fault of a transport whose tries ran out: the last try's, saying how many there were
// within the lookup's total time; or, without any try, that the time ran out first.
Fault triesSpent(std::optional<Fault> last, std::string_view transport, int tries,
                 std::chrono::milliseconds total);

}  // namespace ombrix::lookup
