#include "tools/domain_list_reader.h"

#include <algorithm>

namespace ombrix::tools {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view withoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

void DomainListLines::append(std::string_view piece) {
    lineStarted_ = true;
    length_ += piece.size();
    if (kept_.empty()) {
        piece = withoutLeadingBlanks(piece);
    }
    kept_.append(piece.substr(0, kMaxLine - kept_.size()));
}

std::optional<ListEntry> DomainListLines::endLine() {
    ++counts_.read;
    const auto domain = withoutTrailingBlanks(kept_);
    std::optional<ListEntry> entry;
    if (domain.empty() || domain.starts_with('#')) {
        ++counts_.skipped;
    } else {
        ++counts_.reported;
        entry = ListEntry{std::string(domain), counts_.read, length_ > kMaxLine};
    }
    kept_.clear();
    length_ = 0;
    lineStarted_ = false;
    return entry;
}

std::optional<ListEntry> DomainListLines::take(std::string_view& bytes) {
    while (!runaway_ && !bytes.empty()) {
        const auto newline = bytes.find('\n');
        append(bytes.substr(0, newline));
        if (length_ > kMaxUnbroken) {
            runaway_ = counts_.read + 1;
            bytes = {};
            break;
        }
        if (newline == std::string_view::npos) {
            bytes = {};
            break;
        }
        bytes.remove_prefix(newline + 1);
        if (auto entry = endLine()) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<ListEntry> DomainListLines::finish() {
    if (runaway_ || !lineStarted_) {
        return std::nullopt;
    }
    return endLine();
}

void DomainListReader::append(std::string_view bytes) {
    while (auto entry = lines_.take(bytes)) {
        ready_.push_back(std::move(*entry));
    }
}

void DomainListReader::end() {
    if (auto entry = lines_.finish()) {
        ready_.push_back(std::move(*entry));
    }
    ended_ = true;
}

std::optional<ListEntry> DomainListReader::next() {
    if (ready_.empty()) {
        return std::nullopt;
    }
    auto entry = std::move(ready_.front());
    ready_.pop_front();
    return entry;
}

}  // namespace ombrix::tools
