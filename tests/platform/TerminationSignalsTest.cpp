#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>
#include <functional>

#include "platform/Log.h"

using namespace velquine;

namespace {

// Events are processed until done() holds; the bound only ends a test that fails, however slow a loaded machine
// (or a sanitizer) makes the event loop take up the pipe.
void processEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

// The handler only notes the signal; the call comes from the event loop. Signals keep coming as calls (the
// program may put its end off) until the program ends on one: the signals that follow, of every kind watched,
// are taken up and call nothing, and the process goes on (it saves its maps then).
TEST(TerminationSignals, ASignalBecomesACallFromTheEventLoopUntilTheProgramEndsOnOne)
{
    // A signal the process was started to ignore stays ignored, and a test run under nohup, or as a background
    // job of a script (which ignores SIGINT), would see none of these: the test starts as from a terminal.
    for (const int signalNumber : {SIGHUP, SIGTERM, SIGINT})
        std::signal(signalNumber, SIG_DFL);
    int received = 0;
    int calls = 0;
    TerminationSignals::watch([&](int signalNumber) {
        received = signalNumber;
        ++calls;
    });
    const auto raiseAndWait = [&](int signalNumber) {
        const int before = calls;
        ASSERT_EQ(std::raise(signalNumber), 0);
        EXPECT_EQ(calls, before);
        processEventsUntil([&] { return calls != before; });
    };
    raiseAndWait(SIGHUP);
    EXPECT_EQ(received, SIGHUP);
    raiseAndWait(SIGTERM);
    EXPECT_EQ(received, SIGTERM);
    EXPECT_EQ(calls, 2);

    TerminationSignals::endingNow();
    LogCapture log;
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        const std::size_t before = log.lines().size();
        ASSERT_EQ(std::raise(signalNumber), 0);
        processEventsUntil([&] { return log.lines().size() != before; });
        EXPECT_TRUE(log.contains("signal " + std::to_string(signalNumber) + " while ending")) << signalNumber;
    }
    EXPECT_EQ(calls, 2);
    TerminationSignals::watch(nullptr);
}
