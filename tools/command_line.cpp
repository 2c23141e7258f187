#include "tools/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace ombrix::tools {
namespace {

// "@SERVER" may stand anywhere among the domains, as a DNS client takes it, and as often as
// there are servers; no domain may be empty.
std::optional<std::string> takeTargets(std::vector<std::string> targets, CommandOptions& options) {
    for (auto& target : targets) {
        if (target.empty()) {
            return "a domain may not be empty";
        }
        if (!target.starts_with('@')) {
            options.domains.push_back(std::move(target));
        } else if (target.size() == 1) {
            return "@ needs a server";
        } else {
            options.servers.push_back(target.substr(1));
        }
    }
    if (options.domains.empty() && !options.listFile) {
        return "no domain given";
    }
    return std::nullopt;
}

}  // namespace

ParsedCommand parseCommandLine(std::span<const std::string_view> args) {
    ParsedCommand parsed;
    auto& options = parsed.options;
    CLI::App app(
        "Looks up the mail exchangers (MX) of domains, asking SERVER (an address or a host\n"
        "name, either with :PORT; default: the nameservers of /etc/resolv.conf, the first\n"
        "for one domain, or 127.0.0.1 when it names none). Several @SERVERs share the\n"
        "domains; a try that fails on one is asked again on another, and a server that keeps\n"
        "failing is set aside until it answers again.",
        "mxlookup");
    app.footer(
        "One DOMAIN prints the count, the best exchanger and one [PREFERENCE] NAME line per\n"
        "exchanger, and an Outcome line when the answer names none. Several domains, -f,\n"
        "--json, --addresses, --security, --trace or --unfinished switch to one line per\n"
        "domain as each completes: text, or JSON with --json (schema: json-lines.md in the\n"
        "package's documentation). SIGINT, SIGTERM and SIGHUP end such a run within a\n"
        "second with whole lines, exit status 130, 143 and 129.\n"
        "\n"
        "Exit status: 0 when every domain got an answer (mx, null_mx, no_mx, nxdomain),\n"
        "1 when any ended server_failure, timeout, malformed or invalid, or output could not\n"
        "be written, 2 for bad usage. See mxlookup(1).\n"
        "\n"
        "Examples:\n"
        "  mxlookup @9.9.9.9 debian.org\n"
        "  mxlookup --json @127.0.0.1:5353 -f domains.txt > mx.jsonl\n"
        "  mxlookup --security --json @127.0.0.1 -f domains.txt > posture.jsonl");
    std::vector<std::string> targets;
    std::size_t maxInFlight = 0;
    double rate = 0;
    app.add_option("targets", targets, "the server to ask (with @, anywhere) and the domains")
        ->type_name("[@SERVER] [DOMAIN...]");
    app.add_option("-f,--file", options.listFile,
                   "read domains from FILE, one a line (- for standard input); one line each");
    app.add_option("--unfinished", options.unfinishedFile,
                   "if a signal stops the run, the domains not done, one a line, for -f")
        ->type_name("FILE");
    app.add_option("--servers", options.serversFile,
                   "ask the servers of FILE, one a line as @SERVER takes them, each\n"
                   "optionally followed by --rate N, its own cap; one line per domain")
        ->type_name("FILE");
    app.add_flag("--json", options.json, "one JSON line per domain");
    auto* addresses = app.add_flag("--addresses", options.addresses,
                                   "each exchanger's IPv4 and IPv6 addresses; one line per domain");
    auto* security = app.add_flag("--security", options.security,
                                  "DNSSEC, DANE (TLSA), MTA-STS and TLS reporting per\n"
                                  "domain; one line per domain; one SERVER, which must be a\n"
                                  "validating resolver")
                         ->excludes(addresses);
    app.add_option("--validated-name", options.validatedName,
                   "whose DNSKEY must validate before any domain is read\n"
                   "(default: the root zone)")
        ->type_name("NAME")
        ->needs(security);
    app.add_flag("--trace", options.trace,
                 "what happened on the wire, per query; one line per domain");
    app.add_option("--timeout", options.timeoutSeconds, "seconds each try waits (default 2)")
        ->check(CLI::Range(0.001, 3600.0));
    app.add_option("--tries", options.tries, "tries per domain (default 3)")
        ->check(CLI::Range(1, 20));
    auto* window = app.add_option("--max-in-flight", maxInFlight, "queries in flight at most")
                       ->check(CLI::Range(std::size_t{1}, std::size_t{30000}));
    auto* pace = app.add_option("--rate", rate, "queries per second at most")
                     ->check(CLI::Range(0.1, 10000000.0));
    app.add_flag("-q,--quiet", options.quiet, "no progress line and no summary");
    app.set_version_flag("--version", std::string(OMBRIX_VERSION));
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.action = ParsedCommand::Action::help;
        parsed.text = app.help();
        return parsed;
    } catch (const CLI::CallForVersion&) {
        parsed.action = ParsedCommand::Action::version;
        parsed.text = std::string("mxlookup ") + OMBRIX_VERSION + '\n';
        return parsed;
    } catch (const CLI::ParseError& error) {
        parsed.text = error.what();
        return parsed;
    }
    if (window->count() > 0) {
        options.maxInFlight = maxInFlight;
    }
    if (pace->count() > 0) {
        options.rate = rate;
    }
    if (auto wrong = takeTargets(std::move(targets), options)) {
        parsed.text = *wrong;
        return parsed;
    }
    // The DNSSEC words are the validating server's judgement; several could disagree.
    if (options.security && (options.servers.size() > 1 || options.serversFile)) {
        parsed.text = "--security asks one server, a validating resolver";
        return parsed;
    }
    parsed.action = ParsedCommand::Action::run;
    return parsed;
}

}  // namespace ombrix::tools
