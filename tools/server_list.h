#pragma once

#include <istream>
#include <string>
#include <vector>

namespace ombrix::tools {

// The servers of a --servers file: one a line, as @SERVER takes them (the "@" may be left
// out); blank lines and what follows a "#" are skipped, whitespace around a server trimmed.
std::vector<std::string> serverList(std::istream& file);

}  // namespace ombrix::tools
