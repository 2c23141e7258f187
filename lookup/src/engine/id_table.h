#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::lookup {

// The query IDs in flight on one socket and the lookup that owns each. The IDs are drawn at
// random, so their low bits serve as the hash: open addressing with linear probing over a
// power-of-two array kept at most half full, and removal by shifting back the entries behind,
// so that a long run leaves no markers of removed IDs to probe past. One allocation for a
// socket that carries a handful of queries, none per query.
class IdTable {
  public:
    static constexpr std::int32_t kNone = -1;

    // False when the ID is in flight already.
    bool insert(std::uint16_t id, std::int32_t owner);
    void erase(std::uint16_t id);
    std::int32_t find(std::uint16_t id) const;

    std::size_t size() const { return size_; }
    // The owner of the only ID in flight, or kNone: with one entry left, the running XOR of
    // the owners is that entry's owner, found without a scan of a table a wide run grew.
    std::int32_t sole() const { return size_ == 1 ? ownersXor_ : kNone; }

  private:
    struct Entry {
        std::uint16_t id = 0;
        std::int32_t owner = kNone;  // kNone: the entry is free
    };

    std::size_t mask() const { return entries_.size() - 1; }
    // The entry holding the ID, or the free one where the probe for it ends.
    std::size_t probe(std::uint16_t id) const;
    void grow();

    std::vector<Entry> entries_;
    std::size_t size_ = 0;
    std::int32_t ownersXor_ = 0;
};

}  // namespace ombrix::lookup
