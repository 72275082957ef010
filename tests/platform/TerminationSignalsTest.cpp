#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>

using namespace velquine;

// The handler only notes the signal; the call comes from the event loop. Signals keep coming as calls (the
// program may put its end off) until the program ends on one: then the next acts as the system's default does.
TEST(TerminationSignals, ASignalBecomesACallFromTheEventLoopUntilTheProgramEndsOnOne)
{
    int received = 0;
    int calls = 0;
    TerminationSignals::watch([&](int signalNumber) {
        received = signalNumber;
        ++calls;
    });
    // The call comes once the event loop takes up the pipe: waited for, however slow a loaded machine (or a
    // sanitizer) makes that; the bound only ends a test that fails.
    const auto raiseAndWait = [&](int signalNumber) {
        const int before = calls;
        ASSERT_EQ(std::raise(signalNumber), 0);
        EXPECT_EQ(calls, before);
        QElapsedTimer clock;
        clock.start();
        while (calls == before && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    raiseAndWait(SIGHUP);
    EXPECT_EQ(received, SIGHUP);
    raiseAndWait(SIGTERM);
    EXPECT_EQ(received, SIGTERM);
    EXPECT_EQ(calls, 2);
    TerminationSignals::endingNow();
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    TerminationSignals::watch(nullptr);
}
