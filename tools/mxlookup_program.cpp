#include "tools/mxlookup_program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

#include "ombrix/lookup/server_address.h"
#include "tools/bulk/bulk_lookup.h"
#include "tools/command_line.h"
#include "tools/error_line.h"
#include "tools/list_run.h"
#include "tools/mxlookup_command.h"
#include "tools/output_writer.h"
#include "tools/resolv_conf.h"
#include "tools/server_list.h"
#include "tools/stop_signals.h"
#include "tools/unfinished_list.h"

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

// The servers to ask: those of the command line, then those of --servers; without any,
// every nameserver of resolv.conf. Why not, when the file cannot be read or says something
// else.
lookup::Expected<std::vector<ListedServer>, std::string> serverSettings(
    const CommandOptions& options, const ProgramStreams& streams) {
    std::vector<ListedServer> settings;
    for (const auto& server : options.servers) {
        settings.push_back({server, std::nullopt});
    }
    if (options.serversFile) {
        std::ifstream file(*options.serversFile);
        if (!file) {
            return lookup::Unexpected("cannot read " + *options.serversFile + ": " +
                                      std::strerror(errno));
        }
        auto listed = serverList(file);
        if (!listed) {
            return lookup::Unexpected(*options.serversFile + ", " + listed.error());
        }
        if (listed->empty()) {
            return lookup::Unexpected(*options.serversFile + " names no server");
        }
        settings.insert(settings.end(), listed->begin(), listed->end());
    }
    if (settings.empty()) {
        std::ifstream conf(streams.resolvConfPath);
        for (auto& server : nameservers(conf)) {
            settings.push_back({std::move(server), std::nullopt});
        }
    }
    return settings;
}

int runSingle(const CommandOptions& options, const ProgramStreams& streams) {
    std::vector<std::string_view> args;
    const std::string at = options.servers.empty() ? "" : "@" + options.servers.front();
    if (!at.empty()) {
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
    std::ifstream list(path, std::ios::binary);
    DomainListReader reader;
    std::array<char, 64 * 1024> bytes{};
    std::size_t count = 0;
    while (!reader.ended() && (list.read(bytes.data(), bytes.size()) || list.gcount() > 0)) {
        reader.append(std::string_view(bytes.data(), static_cast<std::size_t>(list.gcount())));
        while (reader.next()) {
            ++count;
        }
    }
    reader.end();
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

// The list's descriptor: -1 without a list, standard input's for "-" (not ours to close), or
// a file of our own; why not when it cannot be read.
class ListSource {
  public:
    ListSource() = default;
    ListSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ListSource(ListSource&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), owned_(other.owned_) {}
    ListSource& operator=(ListSource&&) = delete;
    ~ListSource() {
        if (owned_ && fd_ >= 0) {
            ::close(fd_);
        }
    }
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
    bool owned_ = false;
};

lookup::Expected<ListSource, std::string> openList(const CommandOptions& options,
                                                   const ProgramStreams& streams) {
    if (!options.listFile) {
        return ListSource();
    }
    const auto& path = *options.listFile;
    const bool standardInput = path == "-";
    const int fd = standardInput ? streams.inFd : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ListSource source(fd, !standardInput);
    const std::string named = standardInput ? "standard input" : path;
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        return lookup::Unexpected("cannot read " + named + ": " + std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return lookup::Unexpected("cannot read " + named + ": " + std::strerror(EISDIR));
    }
    return source;
}

BulkSettings bulkSettings(const CommandOptions& options) {
    BulkSettings settings;
    settings.timeout = perTry(options);
    settings.tries = options.tries;
    settings.maxInFlight = options.maxInFlight.value_or(BulkSettings::kDefaultCeiling);
    settings.rate = options.rate;
    settings.trace = options.trace;
    settings.addresses = options.addresses;
    settings.security = options.security;
    return settings;
}

// What the list came to, after the summary: its lines, and where it stopped being read.
bool reportList(const ListRun& run, const CommandOptions& options, std::ostream& err) {
    const auto* list = run.list();
    if (list == nullptr) {
        return true;
    }
    if (run.listFailure()) {
        err << "mxlookup: cannot read " << *options.listFile << ": " << *run.listFailure() << '\n';
    }
    if (const auto line = list->lines().runawayLine()) {
        err << "mxlookup: line " << *line << " of " << *options.listFile << " has no end within "
            << DomainListLines::kMaxUnbroken
            << " bytes: not a list of domains, reading stopped there\n";
    }
    if (!options.quiet) {
        err << listSummary(list->lines().counts());
    }
    return !list->lines().runawayLine() && !run.listFailure();
}

// What an interrupted run leaves: every domain it did not finish, in list order, kept for -f
// (or counted), and a message saying what became of them.
void keepUnfinished(BulkLookup& lookup, ListRun& run, UnfinishedList& unfinished,
                    const CommandOptions& options, std::ostream& err) {
    using namespace std::chrono_literals;
    for (const auto& domain : lookup.unfinished()) {
        unfinished.add(domain);
    }
    const bool listEnded =
        run.passRemaining([&](const std::string& domain) { unfinished.add(domain); }, 500ms);
    const int signal = StopSignals::received();
    err << "mxlookup: stopped by " << StopSignals::name(signal) << ": " << unfinished.count()
        << (unfinished.count() == 1 ? " domain" : " domains") << " unfinished";
    if (options.unfinishedFile) {
        err << ", written to " << *options.unfinishedFile << '\n';
    } else {
        err << " (in flight or not yet read); --unfinished FILE keeps them\n";
    }
    if (!listEnded) {
        err << "mxlookup: " << *options.listFile << " did not end in time: the domains after line "
            << run.list()->lines().counts().read << " are not counted\n";
    }
}

int runList(const CommandOptions& options, const ProgramStreams& streams) {
    const StopSignals stopSignals;
    UnfinishedList unfinished(options.unfinishedFile);
    if (unfinished.failure()) {
        streams.err << "mxlookup: " << *unfinished.failure() << '\n';
        return kExitUsage;
    }
    const auto settings = serverSettings(options, streams);
    if (!settings) {
        streams.err << "mxlookup: " << settings.error() << '\n';
        return kExitUsage;
    }
    const lookup::QueryBudget budget(lookup::QueryTiming{perTry(options), options.tries});
    std::vector<lookup::ServerAddress> servers;
    auto bulk = bulkSettings(options);
    for (const auto& setting : settings.value()) {
        auto server = lookup::resolveServer(setting.server, budget.deadline());
        if (!server) {
            streams.err << errorLine(server.error(), setting.server);
            return kExitError;
        }
        servers.push_back(std::move(server.value()));
        bulk.serverRates.push_back(setting.rate);
    }
    const auto list = openList(options, streams);
    if (!list) {
        streams.err << "mxlookup: " << list.error() << '\n';
        return kExitUsage;
    }
    const bool statusLine = streams.errIsTerminal && !options.quiet;
    ProgressReport progress(statusLine ? knownTotal(options) : std::nullopt,
                            ProgressReport::Clock::now());
    OutputWriter out(streams.outFd);
    ListRun run(options.domains, list->fd(), out, streams.err,
                ListRunStyle{options.json, options.trace, statusLine, streams.outIsTerminal,
                             servers.front().endpointText()},
                progress);
    BulkLookup lookup(servers, bulk);
    // No domain is read yet: without a validating server every status would be noise.
    if (options.security) {
        const auto check = lookup.checkValidating(options.validatedName);
        if (!check.validating) {
            streams.err << "mxlookup: " << servers.front().endpointText()
                        << " is no validating resolver, so --security cannot judge anything: "
                        << (check.fault ? check.fault->description : "") << '\n';
            return kExitError;
        }
    }
    run.keepServersAside([&](const std::string& domain) { unfinished.add(domain); });
    bool written = lookup.run(run);
    run.clearStatus();
    if (const auto failure = lookup.failure()) {
        streams.err << "mxlookup: " << failure->description << '\n';
    }
    if (lookup.stopped()) {
        keepUnfinished(lookup, run, unfinished, options, streams.err);
    } else if (unfinished.count() > 0) {
        streams.err << "mxlookup: " << unfinished.count()
                    << (unfinished.count() == 1 ? " domain" : " domains")
                    << " ended while every server was set aside"
                    << (options.unfinishedFile ? ", written to " + *options.unfinishedFile
                                               : std::string("; --unfinished FILE keeps them"))
                    << '\n';
    }
    // Over-long lines among those read after the stop got their lines just now.
    written = written && out.flush();
    if (!written) {
        return reportUnwritable(out, streams.err);
    }
    if (!unfinished.commit()) {
        streams.err << "mxlookup: " << *unfinished.failure() << '\n';
    }
    if (!options.quiet) {
        streams.err << progress.summary(run.withOwnReports(lookup.progress()),
                                        ProgressReport::Clock::now())
                    << lookup.serverSummary();
    }
    const bool wholeList = reportList(run, options, streams.err);
    if (lookup.stopped()) {
        return StopSignals::exitStatus(StopSignals::received());
    }
    return run.allAnswered() && wholeList && !unfinished.failure() ? kExitAnswered : kExitError;
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
    try {
        return options.singleTextLookup() ? runSingle(options, streams) : runList(options, streams);
    } catch (const std::bad_alloc&) {
        // Under an address-space limit: say so and fail, rather than die by SIGABRT.
        streams.err << "mxlookup: out of memory\n";
        return kExitError;
    }
}

}  // namespace ombrix::tools
