#include "engine/id_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace ombrix::lookup {
namespace {

// Keeps the table beside a map through a long run of insertions and removals, with IDs that
// share their low bits (long probe runs, wrapping at the array's end) and a table that grows
// and empties again, as a socket's does over a wide run.
TEST(IdTable, AgreesWithAMapThroughGrowthCollisionsAndRemovals) {
    IdTable table;
    EXPECT_EQ(table.find(1), IdTable::kNone);
    table.erase(1);
    std::map<std::uint16_t, std::int32_t> model;
    std::mt19937 random(7);
    std::int32_t nextOwner = 0;
    for (int step = 0; step < 40000; ++step) {
        // A few high bits over the same low ones: most IDs collide.
        const auto id = static_cast<std::uint16_t>((random() % 64) << 10 | (random() % 4));
        const bool filling = (step / 5000) % 2 == 0;
        if (random() % 3 != 0 && filling) {
            const bool fresh = !model.contains(id);
            ASSERT_EQ(table.insert(id, nextOwner), fresh) << "step " << step;
            if (fresh) {
                model[id] = nextOwner;
            }
            ++nextOwner;
        } else {
            table.erase(id);
            model.erase(id);
        }
        ASSERT_EQ(table.size(), model.size()) << "step " << step;
        ASSERT_EQ(table.sole(), model.size() == 1 ? model.begin()->second : IdTable::kNone);
        for (std::uint16_t probe = 0; probe < 4; ++probe) {
            const auto asked = static_cast<std::uint16_t>(probe | (step % 64) << 10);
            const auto known = model.find(asked);
            ASSERT_EQ(table.find(asked), known == model.end() ? IdTable::kNone : known->second)
                << "step " << step << ", ID " << asked;
        }
    }
}

}  // namespace
}  // namespace ombrix::lookup
