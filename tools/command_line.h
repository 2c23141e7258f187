#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::tools {

inline constexpr const char* kUsageLine = "usage: mxlookup [OPTIONS] [@SERVER] [DOMAIN...]";

// What the command line asks for.
struct CommandOptions {
    // Each "@SERVER" in order; with none and no serversFile, every nameserver of resolv.conf.
    std::vector<std::string> servers;
    std::optional<std::string> serversFile;
    std::vector<std::string> domains;
    std::optional<std::string> listFile;  // "-": standard input
    // Where the domains an interrupted run did not finish go, one a line.
    std::optional<std::string> unfinishedFile;
    bool json = false;
    bool trace = false;
    bool addresses = false;
    bool security = false;
    std::string validatedName;  // empty: the root zone
    bool quiet = false;
    double timeoutSeconds = 2.0;
    int tries = 3;
    std::optional<std::size_t> maxInFlight;
    std::optional<double> rate;

    // The lookup of one domain as text, which prints what it always printed.
    bool singleTextLookup() const {
        return domains.size() == 1 && !listFile && !json && !trace && !addresses && !security &&
               !unfinishedFile && servers.size() <= 1 && !serversFile;
    }
};

struct ParsedCommand {
    enum class Action { run, help, version, usage };
    Action action = Action::usage;
    CommandOptions options;
    std::string text;  // the help, or what was wrong with the command line
};

// Reads the arguments after the program name.
ParsedCommand parseCommandLine(std::span<const std::string_view> args);

}  // namespace ombrix::tools
