#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/Heap.h"
#include "platform/SlotPool.h"

using namespace velquine;

namespace {

// Each test takes a pool of a size of its own, so that what it counts is its own doing.
SlotPool& poolOf(std::size_t bytes) { return SlotPool::of(bytes, 8); }

// What a taker writes into a slot and its giver checks before giving it back.
struct Stamp {
    std::uint64_t owner;
    std::uint64_t serial;
    std::uint64_t check;
};

void stamp(void* slot, std::uint64_t owner, std::uint64_t serial, std::size_t bytes)
{
    const Stamp value{owner, serial, owner * 1000003u ^ serial};
    std::memcpy(slot, &value, sizeof value);
    std::memset(static_cast<char*>(slot) + sizeof value, static_cast<int>(serial & 0x7f), bytes - sizeof value);
}

bool intact(const void* slot, std::size_t bytes)
{
    Stamp value;
    std::memcpy(&value, slot, sizeof value);
    const auto* rest = static_cast<const unsigned char*>(slot) + sizeof value;
    for (std::size_t i = 0; i < bytes - sizeof value; ++i) {
        if (rest[i] != (value.serial & 0x7f))
            return false;
    }
    return value.check == (value.owner * 1000003u ^ value.serial);
}

} // namespace

TEST(SlotPool, HandsOutFreshSlotsSideBySideInAlignedSlabsAndReusesTheLastGivenBack)
{
    SlotPool& pool = poolOf(328);
    EXPECT_EQ(pool.slotBytes(), 328u);
    EXPECT_EQ(&pool, &SlotPool::of(321, 8)) << "sizes round up to the alignment and share a pool";
    std::vector<char*> taken;
    for (int i = 0; i < 300; ++i)
        taken.push_back(static_cast<char*>(pool.take()));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(taken.front()) % SlotPool::slabBytes, 0u);
    for (std::size_t i = 1; i < taken.size(); ++i)
        ASSERT_EQ(taken[i], taken[i - 1] + 328) << i;
    EXPECT_EQ(pool.slabCount(), 1u);

    pool.give(taken[7]);
    EXPECT_EQ(pool.take(), taken[7]);
    // Everything given back serves what is taken next: no new slab, no new slot.
    const std::size_t carved = pool.carvedSlots();
    for (char* slot : taken)
        pool.give(slot);
    std::unordered_set<void*> again;
    for (std::size_t i = 0; i < taken.size(); ++i)
        again.insert(pool.take());
    EXPECT_EQ(again.size(), taken.size());
    EXPECT_EQ(pool.carvedSlots(), carved);
    for (void* slot : again)
        pool.give(slot);
}

TEST(SlotPool, FillsFurtherSlabsWithoutCuttingASlotAcrossTwo)
{
    SlotPool& pool = poolOf(1000);
    const std::size_t perSlab = SlotPool::slabBytes / 1000;
    std::vector<char*> taken;
    for (std::size_t i = 0; i < perSlab + 10; ++i)
        taken.push_back(static_cast<char*>(pool.take()));
    EXPECT_EQ(pool.slabCount(), 2u);
    for (char* slot : taken) {
        const auto offset = reinterpret_cast<std::uintptr_t>(slot) % SlotPool::slabBytes;
        ASSERT_LE(offset + 1000, SlotPool::slabBytes);
        std::memset(slot, 0xab, 1000);
    }
    for (char* slot : taken)
        pool.give(slot);
}

// Takers on some threads hand their slots to givers on others, as copies of a graph made on the main thread
// die on workers: no slot is handed out twice while held, none is changed by the pool while held, and the
// slots of ended threads serve the takers that follow.
TEST(SlotPool, SlotsTakenOnOneThreadAndGivenBackOnOthersStayWholeAndAreNeverHandedOutTwice)
{
    constexpr std::size_t bytes = 136;
    constexpr int takers = 3;
    constexpr int givers = 3;
    constexpr int perTaker = 40000;
    SlotPool& pool = poolOf(bytes);

    std::mutex mutex;
    std::deque<void*> handedOver;
    std::unordered_set<void*> held;
    std::atomic<int> takersLeft{takers};
    std::atomic<int> twice{0};
    std::atomic<int> damaged{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < takers; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < perTaker; ++i) {
                void* slot = pool.take();
                stamp(slot, static_cast<std::uint64_t>(t), static_cast<std::uint64_t>(i), bytes);
                const std::lock_guard lock(mutex);
                if (!held.insert(slot).second)
                    ++twice;
                handedOver.push_back(slot);
            }
            --takersLeft;
        });
    }
    for (int g = 0; g < givers; ++g) {
        threads.emplace_back([&] {
            for (;;) {
                void* slot = nullptr;
                {
                    const std::lock_guard lock(mutex);
                    if (!handedOver.empty()) {
                        // From either end, so that slots go back in mixed orders.
                        if (handedOver.size() % 2) {
                            slot = handedOver.front();
                            handedOver.pop_front();
                        } else {
                            slot = handedOver.back();
                            handedOver.pop_back();
                        }
                        held.erase(slot);
                    } else if (takersLeft == 0) {
                        return;
                    }
                }
                if (!slot) {
                    std::this_thread::yield();
                    continue;
                }
                if (!intact(slot, bytes))
                    ++damaged;
                pool.give(slot);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(twice.load(), 0);
    EXPECT_EQ(damaged.load(), 0);
    EXPECT_TRUE(held.empty());

    // Every thread has ended and given its slots back: as many as were ever carved can be taken again without
    // carving more, and all are distinct.
    const std::size_t carved = pool.carvedSlots();
    EXPECT_LE(carved, static_cast<std::size_t>(takers * perTaker));
    std::unordered_set<void*> all;
    for (std::size_t i = 0; i < carved; ++i)
        all.insert(pool.take());
    EXPECT_EQ(all.size(), carved);
    EXPECT_EQ(pool.carvedSlots(), carved);
    for (void* slot : all)
        pool.give(slot);
}

TEST(SlotPool, SharedObjectsMadeWithTheAllocatorDieOnAnyThread)
{
    struct Cell {
        std::int64_t key;
        std::vector<std::int64_t> list;
    };
    std::vector<std::shared_ptr<Cell>> cells;
    for (std::int64_t i = 0; i < 5000; ++i)
        cells.push_back(std::allocate_shared<Cell>(SlotAllocator<Cell>(), Cell{i, {i, i + 1}}));
    std::vector<std::shared_ptr<Cell>> copies = cells;
    std::thread worker([moved = std::move(copies)]() mutable { moved.clear(); });
    for (std::size_t i = 0; i < cells.size(); i += 2)
        cells[i].reset();
    worker.join();
    for (std::size_t i = 1; i < cells.size(); i += 2) {
        ASSERT_EQ(cells[i]->key, static_cast<std::int64_t>(i));
        ASSERT_EQ(cells[i]->list, (std::vector<std::int64_t>{cells[i]->key, cells[i]->key + 1}));
    }
}

namespace {

void* takenWhileEnding = nullptr;

// Made on a thread before its first slot, so destroyed after the thread has given its slots back.
struct TakesWhileEnding {
    SlotPool* pool = nullptr;
    ~TakesWhileEnding()
    {
        if (pool)
            takenWhileEnding = pool->take();
    }
};

} // namespace

TEST(SlotPool, AThreadThatIsEndingTakesOnlyTheSlotItAsksFor)
{
    SlotPool& pool = poolOf(72);
    std::thread([&pool] {
        thread_local TakesWhileEnding late;
        late.pool = &pool;
        std::vector<void*> taken;
        for (int i = 0; i < 500; ++i)
            taken.push_back(pool.take());
        for (void* slot : taken)
            pool.give(slot);
    }).join();
    ASSERT_NE(takenWhileEnding, nullptr);
    // Every other slot came back: all of them can be taken again without carving more.
    const std::size_t carved = pool.carvedSlots();
    std::unordered_set<void*> all{takenWhileEnding};
    for (std::size_t i = 0; i + 1 < carved; ++i)
        all.insert(pool.take());
    EXPECT_EQ(all.size(), carved);
    EXPECT_EQ(pool.carvedSlots(), carved);
    for (void* slot : all)
        pool.give(slot);
}

// Slots given back after a large burst (a layout that copied half a map) give their pages back to the system
// when the program releases freed memory, and are handed out again, whole, without a new slab.
TEST(SlotPool, PagesOfFreedSlotsGoBackAndTheirSlotsServeAgain)
{
    const auto residentKB = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6));
        return 0L;
    };
    SlotPool& pool = poolOf(448);
    std::vector<void*> taken;
    for (std::size_t i = 0; i < 3 * SlotPool::slabBytes / 448; ++i) {
        taken.push_back(pool.take());
        stamp(taken.back(), 1, i, 448);
    }
    const std::size_t slabs = pool.slabCount();
    for (void* slot : taken)
        pool.give(slot);
    const long before = residentKB();
    velquine::releaseFreedMemory();
    EXPECT_LT(residentKB(), before - 4096) << "most of 6 MB of free taken went back";
    std::vector<void*> again;
    for (std::size_t i = 0; i < taken.size(); ++i) {
        again.push_back(pool.take());
        stamp(again.back(), 2, i, 448);
    }
    for (void* slot : again)
        ASSERT_TRUE(intact(slot, 448));
    EXPECT_EQ(std::unordered_set<void*>(again.begin(), again.end()).size(), taken.size());
    EXPECT_EQ(pool.slabCount(), slabs);
    for (void* slot : again)
        pool.give(slot);
}
