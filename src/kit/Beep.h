#pragma once

// The system alert sound of a gesture that did nothing. Every beep is counted, so tests can see that a
// command refused.

namespace velquine {

class Beep {
public:
    static void beep();
    // Beeps since the start or the last resetCount().
    static int count();
    static void resetCount();
};

} // namespace velquine
