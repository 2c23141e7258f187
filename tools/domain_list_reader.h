#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix::tools {

// A line of a list that names a domain.
struct ListEntry {
    std::string domain;
    std::size_t line = 0;  // counted from 1
    // The line was longer than DomainListLines::kMaxLine: it ends as invalid, and domain
    // holds only its first visible bytes.
    bool overlong = false;
};

// What became of the lines of a list so far.
struct ListCounts {
    std::size_t read = 0;
    std::size_t skipped = 0;   // blank, or a comment
    std::size_t reported = 0;  // gave an entry
};

// The rules that turn the bytes of a list into domains, fed in pieces of any size so that
// whoever reads the bytes (a file, a pipe that is not ready) needs no rules of its own. Blank
// lines and lines whose first visible character is "#" are skipped; spaces, tabs and carriage
// returns around a domain are trimmed. Every other line gives exactly one entry; a line is
// kept in memory only up to kMaxLine bytes, so a list of any length costs one line. Bytes
// that go on for kMaxUnbroken without a newline are no list of domains (a device of zeros, a
// binary): reading stops there.
class DomainListLines {
  public:
    static constexpr std::size_t kMaxLine = 4096;
    static constexpr std::size_t kMaxUnbroken = 1024 * 1024;

    // Consumes bytes from the front of `bytes` until a line gives an entry, and returns it;
    // nothing when the bytes ran out first or reading has stopped.
    std::optional<ListEntry> take(std::string_view& bytes);
    // The end of the list: the entry of a last line without a newline, if it gives one.
    std::optional<ListEntry> finish();

    // The line that went on past kMaxUnbroken, once reading has stopped there.
    std::optional<std::size_t> runawayLine() const { return runaway_; }
    const ListCounts& counts() const { return counts_; }

  private:
    void append(std::string_view piece);
    // The entry of the line just ended, counting it either way.
    std::optional<ListEntry> endLine();

    std::string kept_;          // the line from its first visible byte, at most kMaxLine
    std::size_t length_ = 0;    // the line's bytes so far, blanks included
    bool lineStarted_ = false;  // bytes of a line not yet ended were seen
    std::optional<std::size_t> runaway_;
    ListCounts counts_;
};

// Holds the entries of a list whose bytes come in pieces, as a descriptor that is ready gives
// them, so a line is ready as soon as its newline is in and reading never waits.
class DomainListReader {
  public:
    // The next bytes of the list.
    void append(std::string_view bytes);
    // The list has no more bytes; a last line without a newline still counts.
    void end();

    // The next entry of the lines complete so far, or nothing.
    std::optional<ListEntry> next();
    // Whether the list has ended (or reading stopped) and every entry in it was taken.
    bool exhausted() const { return ended() && ready_.empty(); }
    // Whether no more bytes are wanted.
    bool ended() const { return ended_ || lines_.runawayLine(); }
    const DomainListLines& lines() const { return lines_; }

  private:
    DomainListLines lines_;
    std::deque<ListEntry> ready_;
    bool ended_ = false;
};

}  // namespace ombrix::tools
