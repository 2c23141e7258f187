#include "tools/mxlookup_command.h"

#include <fstream>
#include <optional>

#include "ombrix/lookup/resolver.h"
#include "tools/resolv_conf.h"

namespace ombrix::tools {
namespace {

constexpr const char* kUsage = "usage: mxlookup [@SERVER] DOMAIN";

struct Request {
    std::string server;  // empty: the system's nameserver
    std::string domain;
};

std::optional<Request> parseArguments(std::span<const std::string_view> args) {
    Request request;
    if (args.size() == 2 && args[0].size() > 1 && args[0].front() == '@') {
        request.server = args[0].substr(1);
        args = args.subspan(1);
    }
    if (args.size() != 1 || args[0].empty() || args[0].front() == '@' || args[0].front() == '-') {
        return std::nullopt;
    }
    request.domain = args[0];
    return request;
}

std::string systemNameserver(const std::string& resolvConfPath) {
    std::ifstream conf(resolvConfPath);
    return firstNameserver(conf);
}

// The lines the sample window shows: the count, the best exchanger, one line per entry.
void printResult(std::ostream& out, const std::string& count, const lookup::MxStore& store) {
    out << "Number of results : " << count << '\n';
    out << "Best MX : " << store.best() << '\n';
    const auto& list = store.list();
    for (std::size_t i = 0; i < store.count() && i < list.size(); ++i) {
        out << '[' << list[i].pref << "] " << list[i].server << '\n';
    }
}

}  // namespace

int runMxLookup(std::span<const std::string_view> args, std::ostream& out, std::ostream& err,
                const std::string& resolvConfPath, lookup::QueryTiming timing) {
    auto request = parseArguments(args);
    if (!request) {
        err << kUsage << '\n';
        return kExitUsage;
    }
    lookup::MxResolver resolver(timing);
    resolver.setServer(request->server.empty() ? systemNameserver(resolvConfPath)
                                               : request->server);
    auto result = resolver.query(request->domain);
    if (!result) {
        const auto& error = result.error();
        err << "Error " << error.number << " (" << error.source << "): " << error.description
            << '\n';
        return kExitError;
    }
    printResult(out, result.value(), resolver.store());
    return kExitAnswered;
}

}  // namespace ombrix::tools
