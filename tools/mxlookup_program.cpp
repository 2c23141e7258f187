#include "tools/mxlookup_program.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "ombrix/lookup/server_address.h"
#include "tools/bulk/bulk_lookup.h"
#include "tools/command_line.h"
#include "tools/error_line.h"
#include "tools/list_run.h"
#include "tools/mxlookup_command.h"
#include "tools/output_writer.h"
#include "tools/resolv_conf.h"

namespace ombrix::tools {
namespace {

std::chrono::milliseconds perTry(const CommandOptions& options) {
    return std::chrono::milliseconds(
        std::max<long long>(1, std::llround(options.timeoutSeconds * 1000)));
}

// A reader that went away (a pipe into head) has all it wanted: nothing to say about it.
int reportUnwritable(const OutputWriter& out, std::ostream& err) {
    if (!out.readerGone()) {
        err << "mxlookup: cannot write to standard output: " << out.failure() << '\n';
    }
    return kExitError;
}

std::string serverSetting(const CommandOptions& options, const ProgramStreams& streams) {
    if (!options.server.empty()) {
        return options.server;
    }
    std::ifstream conf(streams.resolvConfPath);
    return firstNameserver(conf);
}

int runSingle(const CommandOptions& options, const ProgramStreams& streams) {
    std::vector<std::string_view> args;
    const std::string at = "@" + options.server;
    if (!options.server.empty()) {
        args.push_back(at);
    }
    args.push_back(options.domains.front());
    std::ostringstream text;
    const int status = runMxLookup(args, text, streams.err, streams.resolvConfPath,
                                   lookup::LookupOptions{perTry(options), options.tries});
    OutputWriter out(streams.outFd);
    out.write(text.str());
    return out.flush() ? status : reportUnwritable(out, streams.err);
}

// How many domains a list file holds, counted in a pass of its own; nothing for standard
// input or anything else that cannot be read twice.
std::optional<std::size_t> countDomains(const std::string& path) {
    struct stat status {};
    if (path == "-" || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::ifstream list(path);
    DomainListReader reader(list);
    std::size_t count = 0;
    while (reader.next()) {
        ++count;
    }
    return count;
}

std::optional<std::size_t> knownTotal(const CommandOptions& options) {
    if (!options.listFile) {
        return options.domains.size();
    }
    auto listed = countDomains(*options.listFile);
    return listed ? std::optional(*listed + options.domains.size()) : std::nullopt;
}

BulkSettings bulkSettings(const CommandOptions& options) {
    BulkSettings settings;
    settings.timeout = perTry(options);
    settings.tries = options.tries;
    settings.maxInFlight = options.maxInFlight.value_or(BulkSettings::kDefaultCeiling);
    settings.rate = options.rate;
    settings.trace = options.trace;
    settings.addresses = options.addresses;
    return settings;
}

// Opens the list: standard input for "-"; nothing without -f. Says why when it cannot.
std::optional<std::istream*> openList(const CommandOptions& options, const ProgramStreams& streams,
                                      std::ifstream& file) {
    if (!options.listFile) {
        return nullptr;
    }
    if (*options.listFile == "-") {
        return &streams.in;
    }
    std::string reason;
    if (std::error_code ignored; std::filesystem::is_directory(*options.listFile, ignored)) {
        reason = std::generic_category().message(EISDIR);
    } else {
        errno = 0;
        file.open(*options.listFile);
        if (!file) {
            reason = errno != 0 ? std::generic_category().message(errno) : "cannot be opened";
        }
    }
    if (!reason.empty()) {
        streams.err << "mxlookup: cannot read " << *options.listFile << ": " << reason << '\n';
        return std::nullopt;
    }
    return &file;
}

// What the list came to, after the summary: its lines, and where it stopped being read.
bool reportList(const ListRun& run, const CommandOptions& options, std::ostream& err) {
    const auto* list = run.list();
    if (list == nullptr) {
        return true;
    }
    if (const auto line = list->lines().runawayLine()) {
        err << "mxlookup: line " << *line << " of " << *options.listFile << " has no end within "
            << DomainListLines::kMaxUnbroken
            << " bytes: not a list of domains, reading stopped there\n";
    }
    if (!options.quiet) {
        err << listSummary(list->lines().counts());
    }
    return !list->lines().runawayLine();
}

int runList(const CommandOptions& options, const ProgramStreams& streams) {
    const auto setting = serverSetting(options, streams);
    const lookup::QueryBudget budget(lookup::QueryTiming{perTry(options), options.tries});
    auto server = lookup::resolveServer(setting, budget.deadline());
    if (!server) {
        streams.err << errorLine(server.error(), setting);
        return kExitError;
    }
    std::ifstream file;
    const auto list = openList(options, streams, file);
    if (!list) {
        return kExitUsage;
    }
    const bool statusLine = streams.errIsTerminal && !options.quiet;
    ProgressReport progress(statusLine ? knownTotal(options) : std::nullopt,
                            ProgressReport::Clock::now());
    OutputWriter out(streams.outFd);
    ListRun run(options.domains, *list, out, streams.err,
                ListRunStyle{options.json, options.trace, statusLine, streams.outIsTerminal,
                             server.value().endpointText()},
                progress);
    BulkLookup lookup(std::move(server.value()), bulkSettings(options));
    const bool written = lookup.run(run);
    run.clearStatus();
    if (!written) {
        return reportUnwritable(out, streams.err);
    }
    if (!options.quiet) {
        streams.err << progress.summary(run.withOwnReports(lookup.progress()),
                                        ProgressReport::Clock::now());
    }
    const bool wholeList = reportList(run, options, streams.err);
    return run.allAnswered() && wholeList ? kExitAnswered : kExitError;
}

}  // namespace

int runMxLookupProgram(std::span<const std::string_view> args, const ProgramStreams& streams) {
    const auto parsed = parseCommandLine(args);
    switch (parsed.action) {
        case ParsedCommand::Action::usage:
            streams.err << "mxlookup: " << parsed.text << '\n' << kUsageLine << '\n';
            return kExitUsage;
        case ParsedCommand::Action::help:
        case ParsedCommand::Action::version: {
            OutputWriter out(streams.outFd);
            out.write(parsed.text);
            return out.flush() ? kExitAnswered : reportUnwritable(out, streams.err);
        }
        case ParsedCommand::Action::run:
            break;
    }
    const auto& options = parsed.options;
    return options.singleTextLookup() ? runSingle(options, streams) : runList(options, streams);
}

}  // namespace ombrix::tools
