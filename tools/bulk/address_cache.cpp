#include "tools/bulk/address_cache.h"

#include <algorithm>
#include <cctype>

#include "ombrix/lookup/query_message.h"

namespace ombrix::tools {
namespace {

using lookup::AddressStatus;

// Answers that say something about the name; a failure says only how the asking went.
bool mayKeep(AddressStatus status) {
    return status == AddressStatus::found || status == AddressStatus::foundViaAlias ||
           status == AddressStatus::nxdomain || status == AddressStatus::noAddress;
}

}  // namespace

// Names differ in case only as the list spelled them: one key for all spellings.
std::string AddressCache::keyOf(std::string_view name, std::uint16_t type) {
    std::string key(1, type == lookup::kTypeA ? '4' : '6');
    key.reserve(name.size() + 1);
    for (const char c : name) {
        key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return key;
}

const AddressCache::Kept* AddressCache::find(std::string_view name, std::uint16_t type,
                                             Clock::time_point now) {
    const auto found = entries_.find(keyOf(name, type));
    if (found == entries_.end() || !found->second.kept || found->second.expires <= now) {
        return nullptr;
    }
    ++saved_;
    return &*found->second.kept;
}

bool AddressCache::join(std::string_view name, std::uint16_t type, Waiter waiter) {
    auto& entry = entries_[keyOf(name, type)];
    entry.waiting.push_back(waiter);
    const bool inFlight = entry.waiting.size() > 1;
    saved_ += inFlight ? 1 : 0;
    return inFlight;
}

std::vector<AddressCache::Waiter> AddressCache::settle(std::string_view name, std::uint16_t type,
                                                       const lookup::AddressResult& answer,
                                                       Clock::time_point now) {
    const auto found = entries_.find(keyOf(name, type));
    if (found == entries_.end()) {
        return {};
    }
    auto waiting = std::move(found->second.waiting);
    found->second.waiting.clear();
    const bool hadKept = found->second.kept.has_value();
    if (mayKeep(answer.status) && answer.ttl > 0) {
        found->second.kept = Kept{answer.status, answer.addresses};
        found->second.expires = now + std::chrono::seconds(answer.ttl);
        keptCount_ += hadKept ? 0 : 1;
    } else if (hadKept) {
        found->second.kept.reset();
        --keptCount_;
    }
    if (!found->second.kept) {
        entries_.erase(found);
    }
    if (keptCount_ > capacity_) {
        makeRoom(now);
    }
    return waiting;
}

void AddressCache::makeRoom(Clock::time_point now) {
    std::vector<Clock::time_point> expiries;
    expiries.reserve(entries_.size());
    for (const auto& [key, entry] : entries_) {
        if (entry.kept && entry.waiting.empty()) {
            expiries.push_back(entry.expires);
        }
    }
    if (expiries.empty()) {
        return;
    }
    // Keep three quarters, so that room is made once per quarter of the capacity, not on
    // every answer.
    const auto quarter = expiries.begin() + static_cast<std::ptrdiff_t>(expiries.size() / 4);
    std::nth_element(expiries.begin(), quarter, expiries.end());
    const auto dropBefore = std::max(now, *quarter);
    std::erase_if(entries_, [&](const auto& item) {
        const auto& entry = item.second;
        const bool drop = entry.kept && entry.waiting.empty() && entry.expires <= dropBefore;
        keptCount_ -= drop ? 1 : 0;
        return drop;
    });
}

}  // namespace ombrix::tools
