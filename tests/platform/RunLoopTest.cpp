#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace velquine;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::drain();
        QCoreApplication::processEvents(); // invocations left over from earlier tests find nothing to do
    }
    void TearDown() override { RunLoop::drain(); }

    void record(const std::string& s)
    {
        std::lock_guard lock(mutex);
        log.push_back(s);
    }
    std::vector<std::string> recorded()
    {
        std::lock_guard lock(mutex);
        return log;
    }

    std::mutex mutex;
    std::vector<std::string> log;
};

// Runs the event loop until nothing is pending, without calling drain().
void deliverThroughEventLoop()
{
    for (int i = 0; i < 100 && RunLoop::pendingCount() > 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

TEST_F(RunLoopTest, NothingRunsDuringThePostAndDrainRunsInPostingOrder)
{
    RunLoop::post([this] { record("a"); });
    RunLoop::post([this] { record("b"); });
    RunLoop::post([this] { record("c"); });
    EXPECT_TRUE(recorded().empty());
    EXPECT_EQ(RunLoop::pendingCount(), 3u);
    RunLoop::drain();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(RunLoop::pendingCount(), 0u);
}

TEST_F(RunLoopTest, CallsPostedDuringTheDrainRunAfterThoseAlreadyQueued)
{
    RunLoop::post([this] {
        record("first");
        RunLoop::post([this] {
            record("posted by first");
            RunLoop::post([this] { record("posted by the posted"); });
        });
    });
    RunLoop::post([this] { record("second"); });
    RunLoop::drain();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"first", "second", "posted by first", "posted by the posted"}));
}

TEST_F(RunLoopTest, TheEventLoopDeliversInOrderAndADrainLeavesNothingForItToRepeat)
{
    RunLoop::post([this] { record("1"); });
    RunLoop::post([this] { record("2"); });
    deliverThroughEventLoop();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"1", "2"}));

    RunLoop::post([this] { record("3"); });
    RunLoop::post([this] { record("4"); });
    RunLoop::drain();
    // The two invocations queued for 3 and 4 are still in Qt's queue; they must not run anything again.
    QCoreApplication::processEvents();
    RunLoop::post([this] { record("5"); });
    deliverThroughEventLoop();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
}

TEST_F(RunLoopTest, PostsFromOtherThreadsRunOnTheMainThreadInEachThreadsOrder)
{
    constexpr int perThread = 300;
    std::atomic<int> offMain{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([this, t, &offMain] {
            EXPECT_FALSE(RunLoop::isMainThread());
            for (int i = 0; i < perThread; ++i) {
                RunLoop::post([this, t, i, &offMain] {
                    if (!RunLoop::isMainThread())
                        ++offMain;
                    record(std::to_string(t) + ":" + std::to_string(i));
                });
            }
        });
    }
    for (int i = 0; i < perThread; ++i)
        RunLoop::post([this, i] { record("m:" + std::to_string(i)); });
    for (auto& th : threads)
        th.join();
    deliverThroughEventLoop();

    const std::vector<std::string> got = recorded();
    ASSERT_EQ(got.size(), 4u * perThread);
    EXPECT_EQ(offMain.load(), 0);
    // Each poster's calls keep their order.
    for (const std::string prefix : {"0:", "1:", "2:", "m:"}) {
        int expected = 0;
        for (const std::string& s : got) {
            if (s.rfind(prefix, 0) == 0) {
                EXPECT_EQ(s, prefix + std::to_string(expected));
                ++expected;
            }
        }
        EXPECT_EQ(expected, perThread) << prefix;
    }
}

TEST_F(RunLoopTest, AThreadsPostLandsAfterEverythingPostedBeforeIt)
{
    RunLoop::post([this] { record("before"); });
    std::thread([this] { RunLoop::post([this] { record("from thread"); }); }).join();
    RunLoop::post([this] { record("after"); });
    RunLoop::drain();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"before", "from thread", "after"}));
}

TEST_F(RunLoopTest, CallsAreDeliveredInsideANestedEventLoop)
{
    // A modal dialog or an open menu runs its own loop; deferred calls must still arrive there.
    bool quitFromInside = false;
    RunLoop::post([this, &quitFromInside] {
        record("opens nested loop");
        QEventLoop nested;
        RunLoop::post([this, &nested, &quitFromInside] {
            record("ran inside nested loop");
            quitFromInside = true;
            nested.quit();
        });
        nested.exec();
        record("nested loop ended");
    });
    deliverThroughEventLoop();
    EXPECT_TRUE(quitFromInside);
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{"opens nested loop", "ran inside nested loop", "nested loop ended"}));
}

TEST_F(RunLoopTest, AFailingCallDoesNotStopTheOnesAfterIt)
{
    RunLoop::post([] { throw std::runtime_error("boom"); });
    RunLoop::post([this] { record("still runs"); });
    RunLoop::drain();
    EXPECT_EQ(recorded(), (std::vector<std::string>{"still runs"}));

    RunLoop::post([] { throw std::runtime_error("boom again"); });
    RunLoop::post([this] { record("after the event loop's failure"); });
    deliverThroughEventLoop();
    EXPECT_EQ(recorded().back(), "after the event loop's failure");
}

TEST_F(RunLoopTest, MainThreadIsKnown)
{
    EXPECT_TRUE(RunLoop::isMainThread());
    bool inThread = true;
    std::thread([&inThread] { inThread = RunLoop::isMainThread(); }).join();
    EXPECT_FALSE(inThread);
}
