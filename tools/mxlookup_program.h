#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace ombrix::tools {

// Where the program reads and writes.
struct ProgramStreams {
    int outFd = 1;  // written directly, so that a failed write is seen
    std::ostream& err;
    int inFd = 0;  // the list for "-f -", read as it comes
    bool errIsTerminal = false;
    bool outIsTerminal = false;
    std::string resolvConfPath = "/etc/resolv.conf";
};

// Runs `mxlookup [OPTIONS] [@SERVER] [DOMAIN...]` (args without the program name) and returns
// the exit status: 0 when every domain got an answer from the server, 1 when any did not or
// the output could not be written, 2 for bad usage. One domain without --json or --trace
// prints what runMxLookup prints.
int runMxLookupProgram(std::span<const std::string_view> args, const ProgramStreams& streams);

}  // namespace ombrix::tools
