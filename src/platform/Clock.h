#pragma once

#include <functional>

namespace velquine {

// Wall-clock time as seconds since 1970. Tests replace the source to get fixed times.
class Clock {
public:
    static double now();
    // Replaces the time source; an empty function restores the system clock.
    static void setSource(std::function<double()> source);
};

// Puts a fixed time source in place for its lifetime.
class ScopedClock {
public:
    explicit ScopedClock(std::function<double()> source) { Clock::setSource(std::move(source)); }
    explicit ScopedClock(double fixed) : ScopedClock([fixed] { return fixed; }) {}
    ~ScopedClock() { Clock::setSource({}); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

} // namespace velquine
