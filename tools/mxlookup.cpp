#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/mxlookup_program.h"

int main(int argc, char** argv) {
    // A reader that went away is a failed write, said on standard error and exit status 1,
    // not a silent death by signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    std::vector<std::string_view> args(argv + 1, argv + argc);
    return ombrix::tools::runMxLookupProgram(
        args, {1, std::cerr, STDIN_FILENO, ::isatty(STDERR_FILENO) == 1,
               ::isatty(STDOUT_FILENO) == 1, "/etc/resolv.conf"});
}
