#include "ombrix/lookup/mx_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace ombrix::lookup {
namespace {

TEST(MxStore, BeforeTheFirstQueryThereIsNoListToIndex) {
    const MxStore store;
    EXPECT_FALSE(store.hasList());
    EXPECT_EQ(store.best(), "");
    EXPECT_EQ(store.count(), 0u);
    const auto entry = store.entryAt(0);
    ASSERT_FALSE(entry.ok());
    EXPECT_EQ(entry.error().number, kSubscriptOutOfRange);
    EXPECT_EQ(entry.error().source, kRuntimeSource);
}

TEST(MxStore, AfterResetOneEmptyEntryAndNothingOutside) {
    MxStore store;
    store.setDomain("example.com");
    store.add("old.example", 1);
    store.reset();
    EXPECT_EQ(store.domain(), "example.com");
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(store.best(), "");
    EXPECT_EQ(store.list(), std::vector<MxRecord>{MxRecord{}});
    ASSERT_TRUE(store.entryAt(0).ok());
    EXPECT_EQ(*store.entryAt(0).value(), MxRecord{});
    EXPECT_EQ(store.entryAt(1).value(), nullptr);
    EXPECT_EQ(store.entryAt(-1).value(), nullptr);
}

TEST(MxStore, OrdersStablyByTruePreferenceAndKeepsTheFirstLowestAsBest) {
    MxStore store;
    store.reset();
    store.add("a", 20);
    store.add("b", 10);
    store.add("c", 65535);
    store.add("d", 10);
    EXPECT_EQ(store.best(), "b");  // 65535 is a preference like any other, not "no best yet"
    store.add("e", 0);
    store.add("f", 0);
    EXPECT_EQ(store.best(), "e");
    store.sortByPreference();
    const std::vector<MxRecord> expected{{"e", 0},  {"f", 0},  {"b", 10},
                                         {"d", 10}, {"a", 20}, {"c", 65535}};
    EXPECT_EQ(store.list(), expected);
    EXPECT_EQ(store.count(), 6u);
    EXPECT_EQ(store.entryAt(5).value()->pref, 65535);
    EXPECT_EQ(store.entryAt(6).value(), nullptr);
}

TEST(MxStore, ShortAndLongListsAlikeKeepReplyOrderAmongEqualPreferences) {
    for (const std::size_t length : {2u, 7u, 64u, 65u, 200u}) {
        MxStore store;
        store.reset();
        std::vector<MxRecord> expected;
        for (std::size_t i = 0; i < length; ++i) {
            const MxRecord entry{"mx" + std::to_string(i), static_cast<std::uint16_t>(i * 7 % 5)};
            store.add(entry.server, entry.pref);
            expected.push_back(entry);
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const MxRecord& a, const MxRecord& b) { return a.pref < b.pref; });
        store.sortByPreference();
        EXPECT_EQ(store.list(), expected) << length << " entries";
    }
}

}  // namespace
}  // namespace ombrix::lookup
