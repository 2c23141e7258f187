#pragma once

#include <cstddef>
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
};

// Feeds the bulk lookup the domains of the command line and then those of the list, read from
// its descriptor only when poll says it has bytes, so a slow list never blocks the lookups;
// and writes each report as its line: JSON or text on the output, trace text on err.
class ListRun : public BulkIo {
  public:
    // listFd is -1 without a list; the caller owns it.
    ListRun(std::vector<std::string> domains, int listFd, OutputWriter& out, std::ostream& err,
            ListRunStyle style, const ProgressReport& report);

    std::optional<std::string> nextDomain() override;
    bool listOver() const override;
    int listFd() const override;
    void readList() override;
    void report(DomainReport&& report) override;
    bool flush() override;
    void progress(const BulkProgress& progress) override;
    // Clears the status line, if one is shown.
    void clearStatus();
    // Whether every domain got an answer from the server.
    bool allAnswered() const { return allAnswered_; }
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
    const ProgressReport& progressReport_;
    ProgressReport::Clock::time_point drawnAt_{};
    bool statusShown_ = false;
    bool allAnswered_ = true;
};

}  // namespace ombrix::tools
