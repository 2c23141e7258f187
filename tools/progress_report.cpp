#include "tools/progress_report.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/outcome_name.h"

namespace ombrix::tools {
namespace {

double secondsBetween(ProgressReport::Clock::time_point from,
                      ProgressReport::Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// "mx 12, nxdomain 3": the outcomes seen so far by their output names, in the order of the
// outcome list; outcomes that share a name are counted together.
std::string outcomeCounts(const BulkProgress& progress) {
    std::vector<std::pair<std::string_view, std::size_t>> counts;
    for (std::size_t i = 0; i < progress.outcomes.size(); ++i) {
        const auto name = outcomeName(static_cast<lookup::Outcome>(i));
        auto same = std::find_if(counts.begin(), counts.end(),
                                 [&](const auto& entry) { return entry.first == name; });
        if (same == counts.end()) {
            counts.emplace_back(name, progress.outcomes[i]);
        } else {
            same->second += progress.outcomes[i];
        }
    }
    std::string text;
    for (const auto& [name, count] : counts) {
        if (count > 0) {
            text += (text.empty() ? "" : ", ") + std::string(name) + ' ' + std::to_string(count);
        }
    }
    return text;
}

// "; dane verified 3, none 2; mta_sts valid 1, absent 4": the mail-security counts.
template <class Word, std::size_t N>
std::string wordCounts(const char* title, const std::array<std::size_t, N>& counts) {
    std::string text = std::string("; ") + title;
    const char* separator = " ";
    for (std::size_t i = 0; i < N; ++i) {
        if (counts[i] > 0) {
            text += separator + std::string(lookup::word(static_cast<Word>(i))) + ' ' +
                    std::to_string(counts[i]);
            separator = ", ";
        }
    }
    return text;
}

}  // namespace

std::string ProgressReport::statusLine(const BulkProgress& progress, Clock::time_point now) const {
    const double elapsed = secondsBetween(started_, now);
    const double rate = elapsed > 0 ? static_cast<double>(progress.done) / elapsed : 0;
    char head[160];
    if (total_) {
        std::snprintf(head, sizeof head, "%zu/%zu  %.0f/s  in flight %zu  ", progress.done, *total_,
                      rate, progress.inFlight);
    } else {
        std::snprintf(head, sizeof head, "%zu  %.0f/s  in flight %zu  ", progress.done, rate,
                      progress.inFlight);
    }
    std::string line = head + outcomeCounts(progress);
    if (total_ && rate > 0 && *total_ >= progress.done) {
        char left[48];
        std::snprintf(left, sizeof left, "  %.0f s left",
                      static_cast<double>(*total_ - progress.done) / rate);
        line += left;
    }
    return line;
}

std::string ProgressReport::summary(const BulkProgress& progress, Clock::time_point now) const {
    const double elapsed = secondsBetween(started_, now);
    const double rate = elapsed > 0 ? static_cast<double>(progress.done) / elapsed : 0;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu domains in %.2f s (%.0f/s), %llu queries sent, %llu retries: ",
                  progress.done, elapsed, rate, static_cast<unsigned long long>(progress.sent),
                  static_cast<unsigned long long>(progress.retries));
    std::string line = text + outcomeCounts(progress);
    if (progress.security) {
        line += wordCounts<lookup::DaneVerdict>("dane", progress.verdicts);
        line += wordCounts<lookup::PolicyRecordStatus>("mta_sts", progress.mtaSts);
    }
    return line + '\n';
}

}  // namespace ombrix::tools
