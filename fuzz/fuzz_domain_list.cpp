// Any bytes as a list of domains, fed whole and in small pieces: both give the same entries;
// every entry is a trimmed, non-empty piece of one line that is no comment, of bounded
// length, numbered in order; and every line is counted once, as skipped or reported.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/domain_list_reader.h"

namespace {

using ombrix::tools::DomainListLines;
using ombrix::tools::ListEntry;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<ListEntry> entriesOf(std::string_view text, std::size_t pieceSize,
                                 DomainListLines& lines) {
    std::vector<ListEntry> entries;
    while (!text.empty()) {
        auto piece = text.substr(0, pieceSize);
        text.remove_prefix(piece.size());
        while (auto entry = lines.take(piece)) {
            entries.push_back(std::move(*entry));
        }
    }
    if (auto last = lines.finish()) {
        entries.push_back(std::move(*last));
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    DomainListLines whole;
    DomainListLines pieces;
    const auto entries = entriesOf(text, text.size() + 1, whole);
    const auto again = entriesOf(text, size > 0 ? data[0] % 7 + 1 : 1, pieces);
    require(entries.size() == again.size());
    std::size_t previousLine = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        require(entry.domain == again[i].domain && entry.line == again[i].line &&
                entry.overlong == again[i].overlong);
        require(!entry.domain.empty() && entry.domain.size() <= DomainListLines::kMaxLine);
        require(entry.domain.find('\n') == std::string::npos && entry.domain.front() != '#');
        require(!isBlank(entry.domain.front()) && !isBlank(entry.domain.back()));
        require(text.find(entry.domain) != std::string::npos);
        require(entry.line > previousLine);
        previousLine = entry.line;
    }
    const auto& counts = whole.counts();
    require(counts.read == counts.skipped + counts.reported && counts.reported == entries.size());
    if (!whole.runawayLine()) {
        std::size_t lines = text.empty() || text.back() == '\n' ? 0 : 1;
        for (const char c : text) {
            lines += c == '\n' ? 1 : 0;
        }
        require(counts.read == lines);
    }
    return 0;
}
