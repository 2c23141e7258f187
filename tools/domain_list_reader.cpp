#include "tools/domain_list_reader.h"

#include <algorithm>

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

void DomainListReader::completeLine() {
    auto domain = domainOfLine(line_);
    if (!domain.empty()) {
        ready_.push_back(std::move(domain));
    }
    line_.clear();
    lineStarted_ = false;
}

void DomainListReader::append(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto newline = bytes.find('\n');
        const auto piece = bytes.substr(0, newline);
        const auto room = kMaxLine - line_.size();
        line_.append(piece.substr(0, std::min(room, piece.size())));
        lineStarted_ = true;
        if (newline == std::string_view::npos) {
            return;
        }
        completeLine();
        bytes.remove_prefix(newline + 1);
    }
}

void DomainListReader::end() {
    if (lineStarted_) {
        completeLine();
    }
    ended_ = true;
}

std::optional<std::string> DomainListReader::next() {
    if (ready_.empty()) {
        return std::nullopt;
    }
    auto domain = std::move(ready_.front());
    ready_.pop_front();
    return domain;
}

}  // namespace ombrix::tools
