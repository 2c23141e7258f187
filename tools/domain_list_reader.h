#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix::tools {

// Reads a list of domains one line at a time, so a list of any length costs one line of
// memory: blank lines and lines whose first visible character is "#" are skipped, spaces,
// tabs and carriage returns around a domain are trimmed. A line longer than kMaxLine keeps
// its first kMaxLine bytes, which no valid domain reaches, so it still ends as one invalid
// entry instead of growing without bound.
class DomainListReader {
  public:
    static constexpr std::size_t kMaxLine = 4096;

    explicit DomainListReader(std::istream& in) : in_(in) {}

    // The next domain, or nothing at the end of the list.
    std::optional<std::string> next();

  private:
    // The next raw line without its newline; nothing at the end of the stream.
    std::optional<std::string> nextLine();

    std::istream& in_;
};

// The domain a line holds, or an empty string when the line holds none.
std::string domainOfLine(std::string_view line);

}  // namespace ombrix::tools
