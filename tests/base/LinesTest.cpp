#include "base/Lines.h"

#include <gtest/gtest.h>

using namespace velquine;

TEST(LinesTest, RemovingBlankLines)
{
    EXPECT_EQ(removingBlankLines("a\n\n  \n  b"), "a\n  b");
    EXPECT_EQ(removingBlankLines(""), "");
    EXPECT_EQ(removingBlankLines("\n\n\n"), "");
    EXPECT_EQ(removingBlankLines("\na\n"), "a");
    EXPECT_EQ(removingBlankLines("\ta\t\n \t \nb "), "\ta\t\nb ");
    // A carriage return and line feed pair is one character and does not split.
    EXPECT_EQ(removingBlankLines("a\r\nb"), "a\r\nb");
    EXPECT_EQ(removingBlankLines("a\r\n\r\nb"), "a\r\n\r\nb");
    EXPECT_EQ(removingBlankLines("a\r\n\nb"), "a\r\n\nb");
    EXPECT_EQ(removingBlankLines("a\n\r\n\nb"), "a\nb");
    // Other white space and line breaks are blank too: no-break space, ideographic space, line separator.
    EXPECT_EQ(removingBlankLines("a\n\xC2\xA0\n\xE3\x80\x80\xE2\x80\xA8\nb"), "a\nb");
    EXPECT_EQ(removingBlankLines("a\n\xC3\xA9\nb"), "a\n\xC3\xA9\nb");
}
