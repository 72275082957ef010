#include "platform/Clock.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace velquine;

namespace {

// Seconds since 1970 of a local wall-clock time today.
double localTime(int hour, int minute, int second, double fraction)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<double>(std::mktime(&t)) + fraction;
}

} // namespace

TEST(Log, LineHasTheFixedPartsInOrder)
{
    ScopedClock clock(localTime(9, 5, 7, 0.12345));
    EXPECT_EQ(logLine("/a/b/Graph.cpp", "update(nodes:)", 42, "hello"), "9:05:07.1234: Graph.cpp:42 update(nodes:) - hello");
}

TEST(Log, HourHasNoLeadingZeroButTheRestDo)
{
    ScopedClock clock(localTime(23, 0, 0, 0.0));
    EXPECT_EQ(logLine("x.cpp", "f()", 1, ""), "23:00:00.0000: x.cpp:1 f() - ");
    ScopedClock early(localTime(0, 1, 2, 0.5));
    EXPECT_EQ(logTimestamp(Clock::now()), "0:01:02.5000");
}

TEST(Log, BackslashQuotePairsAreRemovedFromTheWholeLine)
{
    ScopedClock clock(localTime(9, 0, 0, 0));
    EXPECT_EQ(logLine("f.cpp", "fn", 3, R"(a\"b \ c " d)"), R"(9:00:00.0000: f.cpp:3 fn - ab \ c " d)");
    EXPECT_EQ(logLine("f.cpp", R"(g(\"x\"))", 3, ""), "9:00:00.0000: f.cpp:3 g(x) - ");
    EXPECT_EQ(logLine("f.cpp", "fn", 3, R"(\\")"), R"(9:00:00.0000: f.cpp:3 fn - \)");
}

TEST(Log, PathWithoutSeparatorIsPrintedWhole)
{
    ScopedClock clock(localTime(9, 0, 0, 0));
    EXPECT_EQ(logLine("main.cpp", "main", 7, "m"), "9:00:00.0000: main.cpp:7 main - m");
}

TEST(Log, CaptureCollectsDebugLinesAndTextErrorCarriesTheLine)
{
    ScopedClock clock(localTime(10, 0, 0, 0));
    LogCapture capture;
    debugLog("dir/File.cpp", "op()", 12, "warn");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "10:00:00.0000: File.cpp:12 op() - warn");
    EXPECT_TRUE(capture.contains("op() - warn"));

    const TextError error("a/B.cpp", "read()", 5, "bad");
    EXPECT_STREQ(error.what(), "10:00:00.0000: B.cpp:5 read() - bad");
}
