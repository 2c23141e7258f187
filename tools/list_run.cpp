#include "tools/list_run.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "tools/json_line.h"
#include "tools/outcome_name.h"
#include "tools/text_line.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

constexpr auto kRedrawEvery = 100ms;
constexpr std::size_t kListChunk = 64 * 1024;
constexpr const char* kClearLine = "\r\033[K";

}  // namespace

ListRun::ListRun(std::vector<std::string> domains, int listFd, OutputWriter& out, std::ostream& err,
                 ListRunStyle style, const ProgressReport& report)
    : domains_(std::move(domains)),
      listFd_(listFd),
      out_(out),
      err_(err),
      style_(style),
      progressReport_(report) {
    if (listFd_ < 0) {
        list_.end();
    }
}

std::optional<std::string> ListRun::nextDomain() {
    if (nextArgument_ < domains_.size()) {
        return std::move(domains_[nextArgument_++]);
    }
    return list_.next();
}

bool ListRun::listOver() const {
    return nextArgument_ == domains_.size() && list_.exhausted();
}

int ListRun::listFd() const {
    return list_.exhausted() ? -1 : listFd_;
}

// One read: poll said there are bytes or the end, so it does not wait.
void ListRun::readList() {
    std::array<char, kListChunk> bytes{};
    const ssize_t got = ::read(listFd_, bytes.data(), bytes.size());
    if (got > 0) {
        list_.append(std::string_view(bytes.data(), static_cast<std::size_t>(got)));
    } else if (got == 0) {
        list_.end();
    } else if (errno != EINTR && errno != EAGAIN) {
        listFailure_ = std::strerror(errno);
        list_.end();
    }
}

void ListRun::report(DomainReport&& report) {
    allAnswered_ = allAnswered_ && isAnswer(report.result.outcome);
    out_.write(style_.json ? toJsonLine(report) : toTextLine(report));
    if (style_.trace && !style_.json) {
        clearStatus();
        err_ << toTraceText(report);
    }
}

bool ListRun::flush() {
    // Lines and the status line may share one terminal: the status line makes way.
    if (style_.outIsTerminal && out_.pending()) {
        clearStatus();
    }
    return out_.flush();
}

void ListRun::progress(const BulkProgress& progress) {
    const auto now = ProgressReport::Clock::now();
    if (!style_.statusLine || now - drawnAt_ < kRedrawEvery) {
        return;
    }
    drawnAt_ = now;
    err_ << kClearLine << progressReport_.statusLine(progress, now) << std::flush;
    statusShown_ = true;
}

void ListRun::clearStatus() {
    if (statusShown_) {
        err_ << kClearLine << std::flush;
        statusShown_ = false;
    }
}

}  // namespace ombrix::tools
