#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include "platform/Log.h"

namespace velquine {

namespace {

constexpr int watchedSignals[] = {SIGTERM, SIGHUP, SIGINT};

int pipeEnds[2] = {-1, -1};
bool endingOnSignal = false;

std::function<void(int)>& callback()
{
    static std::function<void(int)> function;
    return function;
}

extern "C" void noteSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

void takeUpSignals()
{
    unsigned char byte = 0;
    int signalNumber = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        if (!signalNumber)
            signalNumber = byte;
    if (!signalNumber)
        return;
    if (endingOnSignal) {
        VQ_LOG("signal", "signal " + std::to_string(signalNumber) + " while ending: the maps are saved first");
        return;
    }
    VQ_LOG("signal", "ending on signal " + std::to_string(signalNumber));
    if (callback()) {
        callback()(signalNumber);
        return;
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

} // namespace

void TerminationSignals::endingNow()
{
    endingOnSignal = true;
}

void TerminationSignals::watch(std::function<void(int signalNumber)> onSignal)
{
    callback() = std::move(onSignal);
    if (pipeEnds[0] >= 0)
        return;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        VQ_LOG("signal", "no pipe for the termination signals");
        return;
    }
    auto* notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { takeUpSignals(); });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int watched : watchedSignals) {
        // A signal the program was started to ignore (nohup) stays ignored.
        struct sigaction previous {};
        if (::sigaction(watched, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(watched, &action, nullptr);
    }
}

} // namespace velquine
