#include "tools/output_writer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ombrix::tools {

void OutputWriter::write(std::string_view text) {
    buffer_ += text;
    flushWhenLarge();
}

void OutputWriter::flushWhenLarge() {
    if (buffer_.size() >= kFlushAt) {
        flush();
    }
}

bool OutputWriter::flush() {
    std::size_t written = 0;
    while (!failed() && written < buffer_.size()) {
        const auto done = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
        if (done >= 0) {
            written += static_cast<std::size_t>(done);
        } else if (errno == EAGAIN) {
            // A descriptor left non-blocking by whoever opened it: wait until it drains.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            readerGone_ = errno == EPIPE;
            failure_ = std::strerror(errno);
        }
    }
    buffer_.clear();
    return !failed();
}

}  // namespace ombrix::tools
