// lookup_mx SERVER DOMAIN: the exchangers of DOMAIN as SERVER names them, best first.
#include <iostream>

#include "ombrix/lookup/resolver.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: lookup_mx SERVER DOMAIN\n";
        return 2;
    }
    ombrix::lookup::MxResolver resolver;
    resolver.setServer(argv[1]);
    const auto count = resolver.query(argv[2]);
    if (!count) {
        std::cerr << "error " << count.error().number << ": " << count.error().description << '\n';
        return 1;
    }
    std::cout << count.value() << " exchangers, best " << resolver.store().best() << '\n';
    const auto& store = resolver.store();
    for (std::size_t i = 0; i < store.count() && i < store.list().size(); ++i)
        std::cout << store.list()[i].pref << ' ' << store.list()[i].server << '\n';
    return 0;
}
