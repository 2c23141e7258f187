// host_query SERVER DOMAIN: one MX query through the mxquery control, printed as mxlookup
// prints it. A C++ host of the control needs only MxQueryClient:
//
//   find_package(Ombrix 1 CONFIG REQUIRED COMPONENTS widgets)
//   add_executable(host_query host_query.cpp)
//   target_link_libraries(host_query PRIVATE Ombrix::widgets)
//
// The control comes from the registration store, so it must be registered (the package
// libombrix1 does that, or `component-registry register`).
#include <iostream>
#include <map>
#include <string>

#include <ombrix/widgets/mxquery_client.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: host_query SERVER DOMAIN\n";
        return 2;
    }
    try {
        const ombrix::MxQueryClient mx = ombrix::MxQueryClient::create("host_query");
        mx.DNS(argv[1]);
        const std::int16_t count = mx.MXQuery(argv[2]);
        std::cout << "Number of results : " << count << '\n';
        std::cout << "Best MX : " << mx.GetBestMX() << '\n';
        for (std::int16_t idx = 0; idx < count; ++idx)
            std::cout << '[' << mx.GetMXEntryPref(idx) << "] " << mx.GetMXEntry(idx) << '\n';
        // An answer that names no exchanger says which kind it was, in mxlookup's words.
        const std::map<std::string, std::string> kinds = {
            {"no-mx", "no_mx"}, {"null-mx", "null_mx"}, {"no-such-name", "nxdomain"}};
        if (const auto kind = kinds.find(mx.GetOutcome()); kind != kinds.end())
            std::cout << "Outcome : " << kind->second << '\n';
    } catch (const ombrix::ControlError& error) {
        std::cerr << "Error " << error.number() << " (" << error.source()
                  << "): " << error.description() << '\n';
        return 1;
    }
    return std::cout.flush() ? 0 : 1;
}
