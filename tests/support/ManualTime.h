#pragma once

// A manual clock for the animator, restored when the test ends: frames are stepped with Animator::tick().
#include "platform/layer/Animator.h"

struct ManualTime {
    double now;
    explicit ManualTime(double start = 100) : now(start)
    {
        velquine::Animator::shared().setTimeSource([this] { return now; });
    }
    ~ManualTime() { velquine::Animator::shared().setTimeSource({}); }
    ManualTime(const ManualTime&) = delete;
    ManualTime& operator=(const ManualTime&) = delete;
};
