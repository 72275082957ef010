#pragma once

// Node identifiers and the one process-wide counter they are drawn from.
//
// The counter starts at 0 when the process starts, is never stored and only grows. Every fresh identifier is
// the counter's value right after it was increased, so the counter never falls below the largest identifier
// handed out or noted in this process. It stops at the largest signed 64-bit value: noting a larger identifier
// leaves it there, and asking for a fresh identifier then fails instead of wrapping to one already in use.

#include <cstdint>
#include <stdexcept>

namespace velquine {

// Raised by nextNodeUID() when the counter has reached the largest signed 64-bit value.
class NodeUIDExhaustedError : public std::runtime_error {
public:
    NodeUIDExhaustedError();
};

// The counter's current value.
std::int64_t nodeUIDCounter();

// Increases the counter by 1 and returns the new value. Throws NodeUIDExhaustedError when the counter is at
// the largest signed 64-bit value.
std::int64_t nextNodeUID();

// Notes an identifier in use: when the counter is at most uid it becomes uid + 1 (the largest signed 64-bit
// value when uid is that value already). A smaller uid, such as the template identifier -1, changes nothing.
void raiseNodeUIDCounter(std::int64_t uid);

// Sets the counter to any value, downwards too. For tests only: the program itself never lowers it.
void resetNodeUIDCounterForTesting(std::int64_t value = 0);

} // namespace velquine
