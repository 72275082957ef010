// Values by node identifier: close identifiers in pages, others hashed, one answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "base/UidMap.h"

namespace velquine {
namespace {

TEST(UidMap, AnswersLikeAMapWhateverTheIdentifiersAndTheOrderTheyComeIn)
{
    std::mt19937 random(3);
    for (int round = 0; round < 4; ++round) {
        UidMap<int> table;
        std::map<std::int64_t, int> expected;
        if (round % 2)
            table.clear(UidRange{100, 400});
        // Runs of close identifiers, some far off, some below the first: pages that grow over identifiers
        // first hashed, values removed and put back.
        for (int step = 0; step < 3000; ++step) {
            const unsigned kind = random() % 10;
            const std::int64_t uid = kind < 6 ? std::int64_t(random() % 700)
                : kind < 8                    ? std::int64_t(random() % 5000) - 2500
                                              : std::int64_t(random()) * 4096;
            if (random() % 4 == 0) {
                table.erase(uid);
                expected.erase(uid);
            } else {
                const int value = int(random() % 1000) + 1;
                table[uid] = value;
                expected[uid] = value;
            }
        }
        for (std::int64_t uid = -2600; uid < 5100; ++uid) {
            const auto it = expected.find(uid);
            const int* found = table.find(uid);
            ASSERT_EQ(found != nullptr, it != expected.end()) << uid;
            if (found) {
                ASSERT_EQ(*found, it->second) << uid;
            }
        }
        for (const auto& [uid, value] : expected)
            ASSERT_TRUE(table.find(uid) && *table.find(uid) == value) << uid;
    }
}

TEST(UidMap, MarksCloseAndScatteredIdentifiersAndInsertsOnlyOnce)
{
    UidMap<bool> marks;
    for (const std::vector<std::int64_t>& ascending :
         {std::vector<std::int64_t>{3, 4, 9, 300}, std::vector<std::int64_t>{-5, 7, std::int64_t(1) << 40}}) {
        marks.assign(ascending, true);
        for (std::int64_t uid = -10; uid < 400; ++uid)
            EXPECT_EQ(marks.contains(uid), std::binary_search(ascending.begin(), ascending.end(), uid)) << uid;
        EXPECT_EQ(marks.contains(std::int64_t(1) << 40), ascending.back() == std::int64_t(1) << 40);
    }
    UidMap<int> index(UidRange{10, 20});
    EXPECT_TRUE(index.insert(15, 1));
    EXPECT_FALSE(index.insert(15, 2));
    EXPECT_TRUE(index.insert(1000, 3));
    EXPECT_FALSE(index.insert(1000, 4));
    EXPECT_EQ(*index.find(15), 1);
    EXPECT_EQ(*index.find(1000), 3);
    index.clear();
    EXPECT_FALSE(index.contains(15) || index.contains(1000));
}

} // namespace
} // namespace velquine
