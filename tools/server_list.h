#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/expected.h"

namespace ombrix::tools {

// One server of a --servers file, with the most queries a second it is to be sent when the
// line gives one.
struct ListedServer {
    std::string server;
    std::optional<double> rate;
};

// The servers of a --servers file: one a line, as @SERVER takes them (the "@" may be left
// out), optionally followed by "--rate N" (or "--rate=N"); blank lines and what follows a "#"
// are skipped. Anything else on a line is an error that names the line.
lookup::Expected<std::vector<ListedServer>, std::string> serverList(std::istream& file);

}  // namespace ombrix::tools
