#include "ombrix/lookup/mx_store.h"

#include <algorithm>

namespace ombrix::lookup {

namespace {

bool byPreference(const MxRecord& a, const MxRecord& b) {
    return a.pref < b.pref;
}

}  // namespace

void MxStore::reset() {
    list_.emplace(1);
    count_ = 0;
    best_.clear();
    bestPref_.reset();
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
    std::stable_sort(list_->begin(), list_->end(), byPreference);
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
