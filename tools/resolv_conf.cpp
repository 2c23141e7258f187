#include "tools/resolv_conf.h"

#include <sstream>

namespace ombrix::tools {

std::string firstNameserver(std::istream& conf) {
    std::string line;
    while (std::getline(conf, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string address;
        if (words >> keyword >> address && keyword == "nameserver") {
            return address;
        }
    }
    return kDefaultNameserver;
}

}  // namespace ombrix::tools
