#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "tools/bulk/bulk_progress.h"
#include "tools/domain_list_reader.h"
#include "tools/recent_rate.h"

namespace ombrix::tools {

// The status line of a running list and the summary at its end, for a person watching
// standard error.
class ProgressReport {
  public:
    using Clock = std::chrono::steady_clock;

    ProgressReport(std::optional<std::size_t> total, Clock::time_point started)
        : total_(total), started_(started) {}

    // The status line: done / total, queries per second, in flight, outcomes so far and the
    // time left at the recent rate when the total is known.
    std::string statusLine(const BulkProgress& progress, Clock::time_point now);
    // The summary: counts per outcome, rate and retries.
    std::string summary(const BulkProgress& progress, Clock::time_point now) const;

  private:
    std::optional<std::size_t> total_;
    Clock::time_point started_;
    RecentRate recent_;
};

// "list: 12 lines read, 3 skipped (blank or comment), 9 reported" and its newline.
std::string listSummary(const ListCounts& counts);

}  // namespace ombrix::tools
