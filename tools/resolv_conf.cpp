#include "tools/resolv_conf.h"

#include <sstream>

namespace ombrix::tools {

std::vector<std::string> nameservers(std::istream& conf) {
    std::vector<std::string> found;
    std::string line;
    while (std::getline(conf, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string address;
        if (words >> keyword >> address && keyword == "nameserver") {
            found.push_back(std::move(address));
        }
    }
    if (found.empty()) {
        found.emplace_back(kDefaultNameserver);
    }
    return found;
}

std::string firstNameserver(std::istream& conf) {
    return nameservers(conf).front();
}

}  // namespace ombrix::tools
