#pragma once

// SIGTERM, SIGHUP and SIGINT (logging out, `kill`, a closed terminal, Ctrl+C) turned into a call on the main
// thread, so that the program can end as it would by its own Quit command.
//
// The handler itself does nothing but write the signal's number into a pipe; a socket notifier on the pipe's
// other end makes the call from the event loop. The call may put the program's end off (while a file opens):
// signals that come meanwhile are taken up the same way. Once the program ends on a signal (endingNow()), the
// signals that follow are still taken up, and change nothing: a second `kill`, a terminal closed after Ctrl+C or
// a session manager that follows SIGTERM with SIGHUP would otherwise end the program while it saves its maps on
// the way out. SIGKILL is the way to force the end.

#include <functional>

namespace velquine {

class TerminationSignals {
public:
    // Installs the handlers (once per process; a second call only replaces the function called). Without a
    // function, a signal has its default action.
    static void watch(std::function<void(int signalNumber)> onSignal);
    // The program ends now on a signal taken up: the signals that follow are noted in the log and call nothing.
    static void endingNow();
};

} // namespace velquine
