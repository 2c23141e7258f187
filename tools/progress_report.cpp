#include "tools/progress_report.h"

#include <algorithm>
#include <cmath>
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

// "1 domain", "2 domains".
std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
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

std::string ProgressReport::statusLine(const BulkProgress& progress, Clock::time_point now) {
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
    recent_.add(now, progress.done);
    const auto recentRate = recent_.perSecond();
    if (total_ && recentRate && *recentRate > 0 && *total_ > progress.done) {
        // Rounded up: while anything is left, so is at least a second.
        char left[48];
        std::snprintf(left, sizeof left, "  %.0f s left",
                      std::ceil(static_cast<double>(*total_ - progress.done) / *recentRate));
        line += left;
    }
    return line;
}

namespace {

// With exchangers' addresses: how many lookups went out and how many the cache spared.
std::string addressLine(const BulkProgress& progress) {
    if (progress.addressLookups == 0 && progress.addressLookupsSaved == 0) {
        return {};
    }
    return "addresses: " + counted(progress.addressLookups, "lookup", "lookups") + " asked, " +
           std::to_string(progress.addressLookupsSaved) + " saved by the cache\n";
}

// With --security: the domains counted per DANE verdict and per MTA-STS status.
std::string securityCounts(const BulkProgress& progress) {
    if (!progress.security) {
        return {};
    }
    return wordCounts<lookup::DaneVerdict>("dane", progress.verdicts) +
           wordCounts<lookup::PolicyRecordStatus>("mta_sts", progress.mtaSts);
}

}  // namespace

std::string ProgressReport::summary(const BulkProgress& progress, Clock::time_point now) const {
    const double elapsed = secondsBetween(started_, now);
    const double rate = elapsed > 0 ? static_cast<double>(progress.done) / elapsed : 0;
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %.2f s (%.0f/s), ", elapsed, rate);
    return counted(progress.done, "domain", "domains") + timing +
           counted(progress.sent, "query", "queries") + " sent, " +
           counted(progress.retries, "retry", "retries") + ": " + outcomeCounts(progress) +
           securityCounts(progress) + '\n' + addressLine(progress);
}

std::string listSummary(const ListCounts& counts) {
    return "list: " + counted(counts.read, "line", "lines") + " read, " +
           std::to_string(counts.skipped) + " skipped (blank or comment), " +
           std::to_string(counts.reported) + " reported\n";
}

}  // namespace ombrix::tools
