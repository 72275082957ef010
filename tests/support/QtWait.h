#pragma once

// Waiting for a window to catch up inside GoogleTest. Qt's QTRY_ macros report through Qt's own test logger,
// which GoogleTest never hears of: a timed-out wait would pass silently. These fail the test instead.

#include <gtest/gtest.h>

#include <QTest>

// Processes events until the condition holds, at most the timeout in milliseconds (5 s by default).
#define EXPECT_EVENTUALLY(cond, ...) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(cond); } __VA_OPT__(, ) __VA_ARGS__)) << "waited for: " #cond

// Waits until the two values are equal, then compares them so a failure shows both.
#define EXPECT_EVENTUALLY_EQ(actual, expected, ...)                                          \
    do {                                                                                      \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); } __VA_OPT__(, ) __VA_ARGS__);  \
        EXPECT_EQ(actual, expected);                                                          \
    } while (false)
