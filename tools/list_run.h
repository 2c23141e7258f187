#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/bulk/bulk_lookup.h"
#include "tools/domain_list_reader.h"
#include "tools/output_writer.h"
#include "tools/progress_report.h"

namespace ombrix::tools {

// How the lines of a run are written.
struct ListRunStyle {
    bool json = false;
    bool trace = false;
    bool statusLine = false;     // redraw a status line on standard error (a terminal)
    bool outIsTerminal = false;  // lines go to a terminal, which the status line may share
    std::string server;          // the server asked, for lines the list itself ends
};

// Feeds the bulk lookup the domains of the command line and then those of the list, read from
// its descriptor only when poll says it has bytes, so a slow list never blocks the lookups;
// and writes each report as its line: JSON or text on the output, trace text on err.
class ListRun : public BulkIo {
  public:
    // listFd is -1 without a list; the caller owns it.
    ListRun(std::vector<std::string> domains, int listFd, OutputWriter& out, std::ostream& err,
            ListRunStyle style, ProgressReport& report);

    std::optional<std::string> nextDomain() override;
    bool listOver() const override;
    int listFd() const override;
    void readList() override;
    void report(DomainReport&& report) override;
    bool flush() override;
    void progress(const BulkProgress& progress) override;
    // True once SIGINT, SIGTERM or SIGHUP came (see StopSignals).
    bool stopRequested() const override;
    // After a stop: gives `keep` every domain not yet given out (the rest of the command line
    // and of the list), in order, reading what is left of the list for at most `within`.
    // Over-long lines among them still get their lines. False when the list did not end in time.
    bool passRemaining(const std::function<void(const std::string&)>& keep,
                       std::chrono::milliseconds within);
    // Where the domains that ended because every server was set aside go, besides their lines.
    void keepServersAside(std::function<void(const std::string&)> keep) {
        keepAside_ = std::move(keep);
    }
    // Clears the status line, if one is shown.
    void clearStatus();
    // Whether every domain got an answer from the server.
    bool allAnswered() const { return allAnswered_; }
    // The engine's progress with the lines that ended here (over-long ones) added.
    BulkProgress withOwnReports(BulkProgress progress) const;
    // How the list's lines went; nothing without a list.
    const DomainListReader* list() const { return listFd_ >= 0 ? &list_ : nullptr; }
    // Why reading the list stopped before its end, if it did.
    const std::optional<std::string>& listFailure() const { return listFailure_; }

  private:
    std::vector<std::string> domains_;
    std::size_t nextArgument_ = 0;
    int listFd_ = -1;
    DomainListReader list_;
    std::optional<std::string> listFailure_;
    OutputWriter& out_;
    std::ostream& err_;
    ListRunStyle style_;
    ProgressReport& progressReport_;
    ProgressReport::Clock::time_point drawnAt_{};
    bool statusShown_ = false;
    bool allAnswered_ = true;
    std::size_t endedHere_ = 0;
    std::function<void(const std::string&)> keepAside_;
};

}  // namespace ombrix::tools
