#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace velquine;

TEST(NumberText, DoublesKeepAFractionAndUseTheShortestDigits)
{
    EXPECT_EQ(formatDouble(1.0), "1.0");
    EXPECT_EQ(formatDouble(-48.5), "-48.5");
    EXPECT_EQ(formatDouble(0.0), "0.0");
    EXPECT_EQ(formatDouble(-0.0), "-0.0");
    EXPECT_EQ(formatDouble(0.1), "0.1");
    EXPECT_EQ(formatDouble(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatDouble(1024.0), "1024.0");
    EXPECT_EQ(formatDouble(123.456), "123.456");
    EXPECT_EQ(formatDouble(9007199254740992.0), "9007199254740992.0");
}

TEST(NumberText, VerySmallAndVeryLargeValuesUseExponents)
{
    EXPECT_EQ(formatDouble(0.0001), "0.0001");
    EXPECT_EQ(formatDouble(0.00001), "1e-05");
    EXPECT_EQ(formatDouble(1.5e-7), "1.5e-07");
    EXPECT_EQ(formatDouble(18446744073709551616.0), "1.8446744073709552e+19");
    EXPECT_EQ(formatDouble(1e100), "1e+100");
    EXPECT_EQ(formatDouble(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(formatDouble(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(formatDouble(std::nan("")), "nan");
}

TEST(NumberText, FloatsAndGeometry)
{
    EXPECT_EQ(formatFloat(0.1f), "0.1");
    EXPECT_EQ(formatFloat(453.0f), "453.0");
    EXPECT_EQ(formatPoint({0, 0}), "(0.0, 0.0)");
    EXPECT_EQ(formatSize({24, 24}), "(24.0, 24.0)");
    EXPECT_EQ(formatRect(Rect(1, 2, 3.5, 4)), "(1.0, 2.0, 3.5, 4.0)");
}
