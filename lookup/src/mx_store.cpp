#include "ombrix/lookup/mx_store.h"

#include <algorithm>

namespace ombrix::lookup {

namespace {

// Lists up to this long are ordered in place, without the buffer a stable sort allocates.
constexpr std::size_t kInsertionSortLimit = 64;

bool byPreference(const MxRecord& a, const MxRecord& b) {
    return a.pref < b.pref;
}

}  // namespace

void MxStore::reset() {
    if (list_) {
        // At most one spare per entry of the longest list so far, whoever fills the entries.
        for (MxRecord& entry : *list_) {
            if (spareTexts_.size() < list_->size() &&
                entry.server.capacity() > std::string().capacity()) {
                spareTexts_.push_back(std::move(entry.server));
            }
        }
        list_->clear();
        list_->emplace_back();
    } else {
        list_.emplace(1);
    }
    count_ = 0;
    best_.clear();
    bestPref_.reset();
}

std::string MxStore::takeText() {
    if (spareTexts_.empty()) {
        return {};
    }
    std::string text = std::move(spareTexts_.back());
    spareTexts_.pop_back();
    text.clear();
    return text;
}

void MxStore::add(std::string server, std::uint16_t pref) {
    if (!list_) {
        list_.emplace();
    } else if (count_ == 0) {
        // The single empty entry stands for "no exchangers" and gives way to the first one.
        list_->clear();
    }
    if (!bestPref_ || pref < *bestPref_) {
        bestPref_ = pref;
        best_ = server;
    }
    list_->push_back(MxRecord{std::move(server), pref});
    ++count_;
}

void MxStore::sortByPreference() {
    if (count_ < 2) {
        return;
    }
    auto& list = *list_;
    if (list.size() > kInsertionSortLimit) {
        std::stable_sort(list.begin(), list.end(), byPreference);
        return;
    }
    // Insertion after the last equal preference keeps reply order among equals.
    for (auto next = list.begin() + 1; next != list.end(); ++next) {
        const auto place = std::upper_bound(list.begin(), next, *next, byPreference);
        std::rotate(place, next, next + 1);
    }
}

const std::vector<MxRecord>& MxStore::list() const {
    static const std::vector<MxRecord> none;
    return list_ ? *list_ : none;
}

Expected<const MxRecord*> MxStore::entryAt(long long idx) const {
    if (!list_) {
        return runtimeError(kSubscriptOutOfRange, "Subscript out of range: no query has run yet");
    }
    if (idx < 0 || static_cast<unsigned long long>(idx) >= list_->size()) {
        return static_cast<const MxRecord*>(nullptr);
    }
    return &(*list_)[static_cast<std::size_t>(idx)];
}

}  // namespace ombrix::lookup
