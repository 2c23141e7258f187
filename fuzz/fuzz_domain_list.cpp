// Any bytes as a list of domains: every entry is a trimmed, non-empty line of bounded length
// that is no comment, and no entry is found where the input has no line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <string>

#include "tools/domain_list_reader.h"

namespace {

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ombrix::tools::DomainListReader reader;
    // Fed in two pieces split where the input's first byte says, as a pipe may bring it.
    const std::size_t split = text.empty() ? 0 : static_cast<std::uint8_t>(text[0]) % text.size();
    reader.append(std::string_view(text).substr(0, split));
    reader.append(std::string_view(text).substr(split));
    reader.end();
    std::size_t entries = 0;
    while (auto domain = reader.next()) {
        require(!domain->empty() && domain->size() <= ombrix::tools::DomainListReader::kMaxLine);
        require(domain->find('\n') == std::string::npos && domain->front() != '#');
        require(!isBlank(domain->front()) && !isBlank(domain->back()));
        require(text.find(*domain) != std::string::npos);
        ++entries;
    }
    std::size_t lines = 1;
    for (const char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    require(entries <= lines);
    return 0;
}
