#include <unistd.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "tools/mxlookup_program.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string_view> args(argv + 1, argv + argc);
    return ombrix::tools::runMxLookupProgram(
        args, {1, std::cerr, std::cin, ::isatty(STDERR_FILENO) == 1, "/etc/resolv.conf"});
}
