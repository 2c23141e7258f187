#include "tools/server_list.h"

#include <charconv>
#include <sstream>
#include <string_view>

namespace ombrix::tools {
namespace {

// The range the command line's --rate takes.
constexpr double kSlowestRate = 0.1;
constexpr double kFastestRate = 10000000;

std::optional<double> rateOf(const std::string& text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !(value >= kSlowestRate && value <= kFastestRate)) {
        return std::nullopt;
    }
    return value;
}

lookup::Expected<ListedServer, std::string> readLine(std::istringstream& words,
                                                     std::string_view first) {
    const auto server = std::string(first.starts_with('@') ? first.substr(1) : first);
    if (server.empty()) {
        return lookup::Unexpected(std::string("\"@\" names no server"));
    }
    ListedServer listed{server, std::nullopt};
    for (std::string word; words >> word;) {
        std::string value;
        if (word.starts_with("--rate=")) {
            value = word.substr(7);
        } else if (word != "--rate" || !(words >> value)) {
            return lookup::Unexpected("\"" + word + "\" is not \"--rate N\"");
        }
        if (listed.rate) {
            return lookup::Unexpected(std::string("--rate is given twice"));
        }
        listed.rate = rateOf(value);
        if (!listed.rate) {
            return lookup::Unexpected(
                "--rate needs queries a second from 0.1 to 10000000, not \"" + value + "\"");
        }
    }
    return listed;
}

}  // namespace

lookup::Expected<std::vector<ListedServer>, std::string> serverList(std::istream& file) {
    std::vector<ListedServer> servers;
    std::size_t number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        std::istringstream words(line.substr(0, line.find('#')));
        std::string server;
        if (!(words >> server)) {
            continue;
        }
        auto listed = readLine(words, server);
        if (!listed) {
            return lookup::Unexpected("line " + std::to_string(number) + ": " + listed.error());
        }
        servers.push_back(std::move(listed.value()));
    }
    return servers;
}

}  // namespace ombrix::tools
