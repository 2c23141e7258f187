#include "tools/server_list.h"

namespace ombrix::tools {

std::vector<std::string> serverList(std::istream& file) {
    constexpr const char* kBlanks = " \t\r\v\f";
    std::vector<std::string> servers;
    for (std::string line; std::getline(file, line);) {
        line = line.substr(0, line.find('#'));
        const auto start = line.find_first_not_of(kBlanks);
        if (start == std::string::npos) {
            continue;
        }
        line = line.substr(start, line.find_last_not_of(kBlanks) + 1 - start);
        if (line.starts_with('@')) {
            line.erase(0, 1);
        }
        if (!line.empty()) {
            servers.push_back(std::move(line));
        }
    }
    return servers;
}

}  // namespace ombrix::tools
