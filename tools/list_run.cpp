#include "tools/list_run.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "tools/json_line.h"
#include "tools/outcome_name.h"
#include "tools/overlong_line.h"
#include "tools/stop_signals.h"
#include "tools/text_line.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;

constexpr auto kRedrawEvery = 100ms;
constexpr std::size_t kListChunk = 64 * 1024;
constexpr const char* kClearLine = "\r\033[K";

}  // namespace

ListRun::ListRun(std::vector<std::string> domains, int listFd, OutputWriter& out, std::ostream& err,
                 ListRunStyle style, ProgressReport& report)
    : domains_(std::move(domains)),
      listFd_(listFd),
      out_(out),
      err_(err),
      style_(std::move(style)),
      progressReport_(report) {
    if (listFd_ < 0) {
        list_.end();
    }
}

std::optional<std::string> ListRun::nextDomain() {
    if (nextArgument_ < domains_.size()) {
        return std::move(domains_[nextArgument_++]);
    }
    while (auto entry = list_.next()) {
        if (!entry->overlong) {
            return std::move(entry->domain);
        }
        // The engine never sees such a line: it ends here, as invalid, with its line number.
        report(overlongLineReport(std::move(*entry), style_.server));
        ++endedHere_;
    }
    return std::nullopt;
}

bool ListRun::listOver() const {
    return nextArgument_ == domains_.size() && list_.exhausted();
}

int ListRun::listFd() const {
    return list_.ended() ? -1 : listFd_;
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

bool ListRun::stopRequested() const {
    return StopSignals::received() != 0;
}

bool ListRun::passRemaining(const std::function<void(const std::string&)>& keep,
                            std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        while (auto domain = nextDomain()) {
            keep(*domain);
        }
        if (list_.ended()) {
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{listFd_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) > 0) {
            readList();
        }
    }
}

BulkProgress ListRun::withOwnReports(BulkProgress progress) const {
    progress.done += endedHere_;
    progress.outcomes[static_cast<std::size_t>(lookup::Outcome::invalidDomain)] += endedHere_;
    return progress;
}

void ListRun::report(DomainReport&& report) {
    allAnswered_ = allAnswered_ && isAnswer(report.result.outcome);
    if (report.serversAside && keepAside_) {
        keepAside_(report.domain);
    }
    if (style_.json) {
        out_.writeWith([&](std::string& buffer) { appendJsonLine(report, buffer); });
    } else {
        out_.writeWith([&](std::string& buffer) { appendTextLine(report, buffer); });
    }
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
    err_ << kClearLine << progressReport_.statusLine(withOwnReports(progress), now) << std::flush;
    statusShown_ = true;
}

void ListRun::clearStatus() {
    if (statusShown_) {
        err_ << kClearLine << std::flush;
        statusShown_ = false;
    }
}

}  // namespace ombrix::tools
