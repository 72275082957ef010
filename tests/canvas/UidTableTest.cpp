// The canvas's table of values by node identifier: close identifiers in a list, others hashed, one answer.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "canvas/UidTable.h"

namespace velquine {
namespace {

TEST(UidTable, AnswersLikeAMapWhateverTheIdentifiersAndTheOrderTheyComeIn)
{
    std::mt19937 random(3);
    for (int round = 0; round < 4; ++round) {
        UidTable<int> table;
        std::map<std::int64_t, int> expected;
        if (round % 2)
            table.clear(UidRange{100, 400});
        // Runs of close identifiers, some far off, some below the first: a list that grows over identifiers
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

} // namespace
} // namespace velquine
