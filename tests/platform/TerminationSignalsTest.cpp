#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>

using namespace velquine;

// The handler only notes the signal; the call comes from the event loop, and a second signal would act as the
// system's default does.
TEST(TerminationSignals, ASignalBecomesACallFromTheEventLoopAndTheNextOneActsByDefault)
{
    int received = 0;
    TerminationSignals::watch([&](int signalNumber) { received = signalNumber; });
    ASSERT_EQ(std::raise(SIGHUP), 0);
    EXPECT_EQ(received, 0);
    // The call comes once the event loop takes up the pipe: waited for, however slow a loaded machine (or a
    // sanitizer) makes that; the bound only ends a test that fails.
    QElapsedTimer clock;
    clock.start();
    while (!received && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(received, SIGHUP);
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    TerminationSignals::watch(nullptr);
}
