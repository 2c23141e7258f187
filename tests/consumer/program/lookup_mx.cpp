// lookup_mx SERVER DOMAIN: the exchangers of DOMAIN as SERVER names them, best first.
#include <iostream>

#include "ombrix/lookup/mx_lookup.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: lookup_mx SERVER DOMAIN\n";
        return 2;
    }
    const auto result = ombrix::lookup::lookupMx(argv[1], argv[2]);
    if (result.fault) {
        std::cerr << "error: " << result.fault->description << '\n';
        return 1;
    }
    std::cout << result.exchangers.size() << " exchangers\n";
    for (const auto& exchanger : result.exchangers)
        std::cout << exchanger.preference << ' ' << exchanger.name << '\n';
    return 0;
}
