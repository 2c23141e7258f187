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

bool DomainListReader::refill() {
    auto* source = in_.rdbuf();
    if (ended_ || source == nullptr || source->sgetc() == std::char_traits<char>::eof()) {
        ended_ = true;
        return false;
    }
    // What the stream holds already, so that a pipe is never waited on for more than it has.
    const auto ready = std::clamp<std::streamsize>(source->in_avail(), 1,
                                                   static_cast<std::streamsize>(buffer_.size()));
    pending_ = std::string_view(buffer_.data(),
                                static_cast<std::size_t>(source->sgetn(buffer_.data(), ready)));
    return true;
}

std::optional<ListEntry> DomainListReader::next() {
    for (;;) {
        if (auto entry = lines_.take(pending_)) {
            return entry;
        }
        if (lines_.runawayLine()) {
            return std::nullopt;
        }
        if (!refill()) {
            return lines_.finish();
        }
    }
}

}  // namespace ombrix::tools
