#pragma once

// SIGTERM, SIGHUP and SIGINT (logging out, `kill`, a closed terminal, Ctrl+C) turned into a call on the main
// thread, so that the program can end as it would by its own Quit command.
//
// The handler itself does nothing but write the signal's number into a pipe; a socket notifier on the pipe's
// other end makes the call from the event loop. Once a signal has been taken up, the three signals get their
// default action back: a second one ends the program at once.

#include <functional>

namespace velquine {

class TerminationSignals {
public:
    // Installs the handlers (once per process; a second call only replaces the function called).
    static void watch(std::function<void(int signalNumber)> onSignal);
};

} // namespace velquine
