#include <iostream>
#include <string_view>
#include <vector>

#include "tools/mxlookup_command.h"

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    return ombrix::tools::runMxLookup(args, std::cout, std::cerr, "/etc/resolv.conf");
}
