// Long work: pure work runs on a worker thread and its end on the main thread, through the run loop, while a
// wait keeps the main loop going (timers and deferred calls run) with the wait cursor shown and, after a second,
// the progress indication; main-thread work done in parts lets the loop run between them.
#include "platform/LongWork.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

using namespace velquine;

namespace {

// Records what the progress indication was asked to show.
struct RecordedIndicator : LongWork::ProgressIndicator {
    std::vector<std::string>* shown;
    int* hidden;
    RecordedIndicator(std::vector<std::string>* s, int* h) : shown(s), hidden(h) {}
    void show(const std::string& what) override { shown->push_back(what); }
    void hide() override { ++*hidden; }
};

std::optional<Qt::CursorShape> overrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? std::optional(cursor->shape()) : std::nullopt;
}

} // namespace

TEST(LongWork, WorkRunsOnAWorkerAndItsEndOnTheMainThreadWhatItThrewIncluded)
{
    const std::thread::id main = std::this_thread::get_id();
    std::thread::id worker;
    std::vector<std::string> order;
    std::exception_ptr thrown;
    const auto job = LongWork::start(
        [&] {
            worker = std::this_thread::get_id();
            throw std::runtime_error("the disk is full");
        },
        [&](std::exception_ptr error) {
            EXPECT_EQ(std::this_thread::get_id(), main);
            order.push_back("done");
            thrown = std::move(error);
        });
    order.push_back("started");
    LongWork::waitFor(job);
    EXPECT_TRUE(LongWork::finished(job));
    EXPECT_NE(worker, main);
    ASSERT_TRUE(thrown);
    EXPECT_EQ(order, (std::vector<std::string>{"started", "done"}));
    EXPECT_THROW(std::rethrow_exception(thrown), std::runtime_error);

    // wait() hands the exception to the caller, and the result of the work is there afterwards.
    EXPECT_THROW(LongWork::wait("Failing", [] { throw std::runtime_error("refused"); }), std::runtime_error);
    int made = 0;
    LongWork::wait("Making", [&] { made = 42; });
    EXPECT_EQ(made, 42);
}

// Another thread may wait for a job while the main thread ends it: the worker is let go once, whichever comes
// first, and the other thread goes on once the work has ended.
TEST(LongWork, AnotherThreadWaitsForAJobWhileTheMainThreadEndsIt)
{
    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> waiting = false;
        int made = 0, seen = 0;
        bool ended = false;
        const auto job = LongWork::start(
            [&] {
                while (!waiting)
                    std::this_thread::yield();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                made = 42;
            },
            [&](std::exception_ptr) { ended = true; });
        std::thread waiter([&] {
            waiting = true;
            LongWork::waitFor(job);
            seen = made;
        });
        LongWork::waitFor(job);
        waiter.join();
        EXPECT_TRUE(ended);
        EXPECT_EQ(seen, 42);
    }
}

TEST(LongWork, AWaitKeepsTheMainLoopGoingWithTheWaitCursorAndAfterASecondTheProgress)
{
    std::vector<std::string> shown;
    int hidden = 0;
    LongWork::setProgressIndicator(std::make_unique<RecordedIndicator>(&shown, &hidden));
    // The worker goes on until the main thread has seen the progress indication while waiting.
    std::atomic<bool> release = false;
    std::optional<Qt::CursorShape> cursorMeanwhile;
    int postedRuns = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        cursorMeanwhile = overrideShape();
        RunLoop::post([&] { ++postedRuns; });
        if (!shown.empty())
            release = true;
    });
    watch.start(20);
    QElapsedTimer clock;
    clock.start();
    LongWork::wait("Opening \u201cbig.radovudo\u201d\u2026", [&] {
        while (!release && clock.elapsed() < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    watch.stop();
    EXPECT_TRUE(release) << "the progress was not shown while the work ran";
    EXPECT_GE(clock.elapsed(), LongWork::progressDelay.count());
    EXPECT_EQ(shown, (std::vector<std::string>{"Opening \u201cbig.radovudo\u201d\u2026"}));
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(cursorMeanwhile, Qt::WaitCursor);
    EXPECT_GT(postedRuns, 10); // deferred calls ran during the wait
    EXPECT_FALSE(overrideShape());
    EXPECT_FALSE(LongWork::busy());

    // A short wait shows the cursor only; a Busy scope nests the waits inside it under its own title.
    shown.clear();
    {
        const LongWork::Busy busy("Exporting \u201cmap.pdf\u201d\u2026");
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);
        LongWork::wait("Writing", [] {});
        EXPECT_TRUE(LongWork::busy());
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(overrideShape());
    LongWork::setProgressIndicator(nullptr);
}

TEST(LongWork, MainThreadWorkInPartsLetsTheLoopRunBetweenThemOnlyWhenBusy)
{
    int timerRuns = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++timerRuns; });
    tick.start(5);
    const auto work = [] {
        QElapsedTimer part;
        for (int i = 0; i < 20; ++i) {
            part.start();
            while (part.elapsed() < 10) {
            }
            LongWork::letLoopRun();
        }
    };
    work(); // outside a Busy scope: the loop does not run
    EXPECT_EQ(timerRuns, 0);
    {
        const LongWork::Busy busy("Drawing");
        work();
    }
    EXPECT_GT(timerRuns, 2);
}
