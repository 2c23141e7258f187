#pragma once

#include <string>
#include <string_view>

namespace ombrix::tools {

// Writes lines to a descriptor through a buffer that goes out whenever it is flushed or
// grows large, and remembers the first failure (a closed descriptor, a full disk) with the
// system's reason, so that lost output is never taken for success.
class OutputWriter {
  public:
    explicit OutputWriter(int fd) : fd_(fd) {}

    int fd() const { return fd_; }
    void write(std::string_view text);
    // Lets build append a line to the buffer in place, so the line needs no string of its own.
    template <typename Build>
    void writeWith(Build&& build) {
        build(buffer_);
        flushWhenLarge();
    }
    // Writes out what is buffered; false once anything failed.
    bool flush();
    bool pending() const { return !buffer_.empty(); }
    bool failed() const { return !failure_.empty(); }
    // The system's reason for the first failure.
    const std::string& failure() const { return failure_; }
    // Whether the failure was the reader closing its end of the pipe.
    bool readerGone() const { return readerGone_; }

  private:
    void flushWhenLarge();

    static constexpr std::size_t kFlushAt = 64 * 1024;

    int fd_;
    std::string buffer_;
    std::string failure_;
    bool readerGone_ = false;
};

}  // namespace ombrix::tools
