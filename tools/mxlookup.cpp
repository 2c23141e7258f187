#include <iostream>
#include <string_view>
#include <vector>

#include "tools/mxlookup_command.h"

namespace {

constexpr std::string_view kHelp =
    "usage: mxlookup [@SERVER] DOMAIN\n"
    "       mxlookup --help | --version\n"
    "\n"
    "Asks SERVER (default: the first nameserver of /etc/resolv.conf) for the MX records of\n"
    "DOMAIN and prints the number of exchangers, the best one, and one [PREFERENCE] NAME line\n"
    "per exchanger. See mxlookup(1).\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::cout << kHelp;
        return ombrix::tools::kExitAnswered;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "mxlookup " OMBRIX_VERSION "\n";
        return ombrix::tools::kExitAnswered;
    }
    return ombrix::tools::runMxLookup(args, std::cout, std::cerr, "/etc/resolv.conf");
}
