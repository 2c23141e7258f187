#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix::tools {

// Splits a list of domains into lines as its bytes come, in pieces of any size, so a list of
// any length costs one line of memory and a line is ready as soon as its newline is in:
// blank lines and lines whose first visible character is "#" are skipped, spaces, tabs and
// carriage returns around a domain are trimmed. A line longer than kMaxLine keeps its first
// kMaxLine bytes, which no valid domain reaches, so it still ends as one invalid entry instead
// of growing without bound.
class DomainListReader {
  public:
    static constexpr std::size_t kMaxLine = 4096;

    // The next bytes of the list.
    void append(std::string_view bytes);
    // The list has no more bytes; a last line without a newline still counts.
    void end();

    // The next domain of the lines complete so far, or nothing.
    std::optional<std::string> next();
    // Whether the list has ended and every domain in it was taken.
    bool exhausted() const { return ended_ && ready_.empty(); }

  private:
    void completeLine();

    std::string line_;  // the line being read, up to kMaxLine bytes
    bool lineStarted_ = false;
    std::deque<std::string> ready_;
    bool ended_ = false;
};

// The domain a line holds, or an empty string when the line holds none.
std::string domainOfLine(std::string_view line);

}  // namespace ombrix::tools
