#include "tools/mxlookup_command.h"

#include <fstream>
#include <optional>
#include <vector>

#include "tools/error_line.h"
#include "tools/outcome_name.h"
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

// The lines the sample window shows: the count, the best exchanger, one line per entry. An
// answer without exchangers adds which one it was (no such domain, no MX, a null MX), since
// the count alone reads the same for all three.
void printResult(std::ostream& out, const lookup::MxResult& result) {
    const auto& exchangers = result.exchangers;
    out << "Number of results : " << exchangers.size() << '\n';
    out << "Best MX : " << (exchangers.empty() ? "" : exchangers.front().name) << '\n';
    for (const lookup::Exchanger& exchanger : exchangers) {
        out << '[' << exchanger.preference << "] " << exchanger.name << '\n';
    }
    if (const auto outcome = outcomeName(result.outcome); outcome != "mx") {
        out << "Outcome : " << outcome << '\n';
    }
}

}  // namespace

int runMxLookup(std::span<const std::string_view> args, std::ostream& out, std::ostream& err,
                const std::string& resolvConfPath, const lookup::LookupOptions& options) {
    auto request = parseArguments(args);
    if (!request) {
        err << kUsage << '\n';
        return kExitUsage;
    }
    const std::string server =
        request->server.empty() ? systemNameserver(resolvConfPath) : request->server;
    const lookup::MxResult result = lookup::lookupMx(server, request->domain, options);
    if (result.fault) {
        err << errorLine(*result.fault, result.wire.server.empty() ? server : result.wire.server);
        return kExitError;
    }
    printResult(out, result);
    return kExitAnswered;
}

}  // namespace ombrix::tools
