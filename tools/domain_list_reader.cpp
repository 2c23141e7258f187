#include "tools/domain_list_reader.h"

#include <string_view>

namespace ombrix::tools {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string domainOfLine(std::string_view line) {
    while (!line.empty() && isBlank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && isBlank(line.back())) {
        line.remove_suffix(1);
    }
    if (line.starts_with('#')) {
        return {};
    }
    return std::string(line);
}

std::optional<std::string> DomainListReader::nextLine() {
    auto* buffer = in_.rdbuf();
    if (buffer == nullptr || !in_.good()) {
        return std::nullopt;
    }
    std::string line;
    bool any = false;
    for (;;) {
        const auto c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in_.setstate(std::ios::eofbit);
            return any ? std::optional(line) : std::nullopt;
        }
        any = true;
        if (c == '\n') {
            return line;
        }
        if (line.size() < kMaxLine) {
            line += static_cast<char>(c);
        }
    }
}

std::optional<std::string> DomainListReader::next() {
    while (auto line = nextLine()) {
        auto domain = domainOfLine(*line);
        if (!domain.empty()) {
            return domain;
        }
    }
    return std::nullopt;
}

}  // namespace ombrix::tools
