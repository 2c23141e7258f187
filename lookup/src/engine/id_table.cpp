#include "engine/id_table.h"

namespace ombrix::lookup {
namespace {

constexpr std::size_t kFirstCapacity = 8;

}  // namespace

std::size_t IdTable::probe(std::uint16_t id) const {
    auto at = id & mask();
    while (entries_[at].owner != kNone && entries_[at].id != id) {
        at = (at + 1) & mask();
    }
    return at;
}

bool IdTable::insert(std::uint16_t id, std::int32_t owner) {
    if ((size_ + 1) * 2 > entries_.size()) {
        grow();
    }
    auto& entry = entries_[probe(id)];
    if (entry.owner != kNone) {
        return false;
    }
    entry = {id, owner};
    ++size_;
    ownersXor_ ^= owner;
    return true;
}

std::int32_t IdTable::find(std::uint16_t id) const {
    return entries_.empty() ? kNone : entries_[probe(id)].owner;
}

void IdTable::erase(std::uint16_t id) {
    if (entries_.empty()) {
        return;
    }
    auto hole = probe(id);
    if (entries_[hole].owner == kNone) {
        return;
    }
    ownersXor_ ^= entries_[hole].owner;
    --size_;
    // Each entry of the run behind the hole moves into it unless the hole lies before that
    // entry's home, where a probe for it would never look.
    for (auto next = (hole + 1) & mask(); entries_[next].owner != kNone;
         next = (next + 1) & mask()) {
        const auto home = entries_[next].id & mask();
        const auto fromHome = (next - home) & mask();
        const auto fromHole = (next - hole) & mask();
        if (fromHome >= fromHole) {
            entries_[hole] = entries_[next];
            hole = next;
        }
    }
    entries_[hole] = Entry{};
}

void IdTable::grow() {
    std::vector<Entry> old(entries_.empty() ? kFirstCapacity : entries_.size() * 2);
    old.swap(entries_);
    for (const auto& entry : old) {
        if (entry.owner != kNone) {
            entries_[probe(entry.id)] = entry;
        }
    }
}

}  // namespace ombrix::lookup
