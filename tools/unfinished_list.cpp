#include "tools/unfinished_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ombrix::tools {
namespace {

// The permissions a file created with open() would get, which mkstemp() narrows.
mode_t usualFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

UnfinishedList::UnfinishedList(std::optional<std::string> path) : path_(std::move(path)) {
    if (!path_) {
        return;
    }
    temporary_ = *path_ + ".XXXXXX";
    const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd < 0) {
        failure_ = "cannot write " + *path_ + ": " + std::strerror(errno);
        temporary_.clear();
        return;
    }
    ::fchmod(fd, usualFileMode());
    out_.emplace(fd);
}

UnfinishedList::~UnfinishedList() {
    if (out_) {
        ::close(out_->fd());
        ::unlink(temporary_.c_str());
    }
}

void UnfinishedList::add(std::string_view domain) {
    ++count_;
    if (out_) {
        out_->write(domain);
        out_->write("\n");
    }
}

bool UnfinishedList::commit() {
    if (!out_) {
        return !failure_;
    }
    std::string reason;
    if (!out_->flush()) {
        reason = out_->failure();
    }
    if (::close(out_->fd()) != 0 && reason.empty()) {
        reason = std::strerror(errno);
    }
    out_.reset();
    if (reason.empty() && std::rename(temporary_.c_str(), path_->c_str()) != 0) {
        reason = std::strerror(errno);
    }
    if (!reason.empty()) {
        failure_ = "cannot write " + *path_ + ": " + reason;
        ::unlink(temporary_.c_str());
    }
    return reason.empty();
}

}  // namespace ombrix::tools
