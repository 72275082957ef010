#include <gtest/gtest.h>

#include <cstdint>

#include "base/FlatHashMap.h"

using velquine::FlatHashMap;
using velquine::FlatHashSet;

// Grown from empty past many doublings, with keys that collide in their low bits and negative ones: every key
// keeps its value, a repeated key keeps the first, and absent keys are not found.
TEST(FlatHashMapTest, KeepsEveryKeyThroughGrowth)
{
    FlatHashMap<std::int64_t, std::int64_t> map;
    EXPECT_EQ(map.find(0), nullptr);
    for (std::int64_t i = 0; i < 5000; ++i) {
        EXPECT_TRUE(map.emplace(i << 20, i).second);
        EXPECT_TRUE(map.emplace(-i - 1, -i).second);
    }
    EXPECT_EQ(map.size(), 10000u);
    const auto [again, added] = map.emplace(7 << 20, 99);
    EXPECT_FALSE(added);
    EXPECT_EQ(*again, 7);
    for (std::int64_t i = 0; i < 5000; ++i) {
        ASSERT_NE(map.find(i << 20), nullptr);
        EXPECT_EQ(*map.find(i << 20), i);
        EXPECT_EQ(*map.find(-i - 1), -i);
        EXPECT_FALSE(map.contains((i << 20) + 1));
    }
    FlatHashSet<std::int64_t> set(3);
    EXPECT_TRUE(set.insert(42));
    EXPECT_FALSE(set.insert(42));
    EXPECT_TRUE(set.contains(42));
    EXPECT_FALSE(set.contains(41));
}
