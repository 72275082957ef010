#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace velquine;
using namespace std::chrono_literals;

TEST(SerialQueue, SyncHandsBackTheValueOrNothing)
{
    SerialQueue queue("SQLite.Database");
    EXPECT_EQ(queue.label(), "SQLite.Database");
    EXPECT_EQ(queue.sync([] { return 42; }), 42);
    EXPECT_EQ(queue.sync([] { return std::string("text"); }), "text");
    auto owned = queue.sync([] { return std::make_unique<int>(7); }); // move-only results pass through
    EXPECT_EQ(*owned, 7);
    int touched = 0;
    queue.sync([&touched] { touched = 1; });
    EXPECT_EQ(touched, 1);
}

TEST(SerialQueue, TheTaskRunsOnTheCallingThread)
{
    SerialQueue queue("q");
    const auto caller = std::this_thread::get_id();
    EXPECT_EQ(queue.sync([] { return std::this_thread::get_id(); }), caller);
    std::thread([&queue] {
        const auto me = std::this_thread::get_id();
        EXPECT_EQ(queue.sync([] { return std::this_thread::get_id(); }), me);
    }).join();
}

TEST(SerialQueue, AnExceptionReachesTheCallerAndTheQueueStaysUsable)
{
    SerialQueue queue("q");
    try {
        queue.sync([]() -> int { throw std::runtime_error("constraint failed"); });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "constraint failed");
    }
    EXPECT_FALSE(queue.isCurrent());
    // Another thread can enter, so the lock was given back.
    auto other = std::async(std::launch::async, [&queue] { return queue.sync([] { return 5; }); });
    ASSERT_EQ(other.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(other.get(), 5);
}

TEST(SerialQueue, ATaskOnTheQueueRunsFurtherTasksInline)
{
    SerialQueue queue("q");
    EXPECT_FALSE(queue.isCurrent());
    std::vector<std::string> order;
    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        order.push_back("outer begins");
        const int inner = queue.sync([&] {
            order.push_back("inner");
            return queue.sync([] { return 3; }) + 1;
        });
        EXPECT_EQ(inner, 4);
        EXPECT_TRUE(queue.isCurrent());
        order.push_back("outer ends");
    });
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_EQ(order, (std::vector<std::string>{"outer begins", "inner", "outer ends"}));
}

TEST(SerialQueue, CurrentIsPerQueueAndPerThread)
{
    SerialQueue a("a");
    SerialQueue b("b");
    a.sync([&] {
        EXPECT_TRUE(a.isCurrent());
        EXPECT_FALSE(b.isCurrent());
        b.sync([&] {
            EXPECT_TRUE(b.isCurrent());
            EXPECT_TRUE(a.isCurrent()); // still inside a's task
            EXPECT_EQ(a.sync([] { return 1; }), 1); // and so a runs inline instead of waiting for itself
        });
        EXPECT_FALSE(b.isCurrent());
        bool currentElsewhere = true;
        std::thread([&] { currentElsewhere = a.isCurrent(); }).join();
        EXPECT_FALSE(currentElsewhere);
    });
}

TEST(SerialQueue, AnotherThreadWaitsUntilTheRunningTaskHasFinished)
{
    SerialQueue queue("q");
    std::promise<void> entered;
    std::promise<void> release;
    std::vector<std::string> order;
    std::thread holder([&] {
        queue.sync([&] {
            entered.set_value();
            release.get_future().wait();
            order.push_back("holder");
        });
    });
    entered.get_future().wait();
    std::atomic<bool> waiterRan{false};
    std::thread waiter([&] {
        queue.sync([&] {
            waiterRan = true;
            order.push_back("waiter");
        });
    });
    std::this_thread::sleep_for(50ms); // fixed: the waiter must not run meanwhile
    EXPECT_FALSE(waiterRan.load());
    release.set_value();
    holder.join();
    waiter.join();
    EXPECT_EQ(order, (std::vector<std::string>{"holder", "waiter"}));
}

TEST(SerialQueue, TasksFromManyThreadsNeverOverlapEvenWithInlineNesting)
{
    SerialQueue queue("q");
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    long counter = 0; // deliberately not atomic: only the queue protects it
    constexpr int threads = 4;
    constexpr int rounds = 2000;
    auto enter = [&] {
        if (++inside != 1)
            ++overlaps;
    };
    auto leave = [&] { --inside; };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                queue.sync([&] {
                    enter();
                    const long before = counter;
                    // A nested task of the same queue, from the same thread, runs at once.
                    queue.sync([&] { ++counter; });
                    counter = counter + 1;
                    EXPECT_EQ(counter, before + 2);
                    leave();
                });
            }
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counter, 2L * threads * rounds);
}
