#include "sql/LiteralValue.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using L = LiteralValue;

TEST(LiteralValueTest, KeywordsAreExactCase)
{
    EXPECT_EQ(L::fromDefaultText(std::nullopt), L::NULL_());
    EXPECT_EQ(L::fromDefaultText("NULL"), L::NULL_());
    EXPECT_EQ(L::fromDefaultText("TRUE"), L::TRUE_());
    EXPECT_EQ(L::fromDefaultText("FALSE"), L::FALSE_());
    EXPECT_EQ(L::fromDefaultText("CURRENT_TIME"), L::CURRENT_TIME());
    EXPECT_EQ(L::fromDefaultText("CURRENT_DATE"), L::CURRENT_DATE());
    EXPECT_EQ(L::fromDefaultText("CURRENT_TIMESTAMP"), L::CURRENT_TIMESTAMP());
    for (const char* word : {"null", "True", "current_date"}) {
        EXPECT_EQ(L::fromDefaultText(word), L::numericLiteral(word));
        EXPECT_EQ(L::fromDefaultText(word).description(), word);
    }
    EXPECT_EQ(L::NULL_().description(), "NULL");
    EXPECT_EQ(L::TRUE_().description(), "TRUE");
    EXPECT_EQ(L::FALSE_().description(), "FALSE");
    EXPECT_EQ(L::CURRENT_TIME().description(), "CURRENT_TIME");
    EXPECT_EQ(L::CURRENT_DATE().description(), "CURRENT_DATE");
    EXPECT_EQ(L::CURRENT_TIMESTAMP().description(), "CURRENT_TIMESTAMP");
}

TEST(LiteralValueTest, QuotedStringsAndBlobs)
{
    EXPECT_EQ(L::fromDefaultText("''"), L::stringLiteral(""));
    EXPECT_EQ(L::stringLiteral("").description(), "''");
    EXPECT_EQ(L::fromDefaultText("'it''s'"), L::stringLiteral("it's"));
    EXPECT_EQ(L::fromDefaultText("'it''s'").description(), "'it''s'");
    EXPECT_EQ(L::fromDefaultText("\"dq\"\"x\""), L::stringLiteral("dq\"x"));
    EXPECT_EQ(L::fromDefaultText("\"dq\"").description(), "'dq'");
    EXPECT_EQ(L::fromDefaultText("x'0aff'"), L::blobLiteral("0aff"));
    EXPECT_EQ(L::fromDefaultText("X'0AFF'"), L::blobLiteral("0AFF"));
    EXPECT_EQ(L::fromDefaultText("x'0aff'").description(), "X'0aff'");
    EXPECT_EQ(L::blobLiteral("a'b").description(), "X'a''b'");
    EXPECT_NE(L::stringLiteral("a"), L::numericLiteral("a"));
    EXPECT_NE(L::stringLiteral("a"), L::stringLiteral("A"));
}

// A text that opens and closes with a quote but holds a lone quote inside is an expression, not one
// string; it keeps its meaning by being written in parentheses.
TEST(LiteralValueTest, ExpressionDefaultsKeepTheirMeaning)
{
    EXPECT_EQ(L::fromDefaultText("'a'||'b'"), L::numericLiteral("'a'||'b'"));
    EXPECT_EQ(L::fromDefaultText("'a'||'b'").description(), "('a'||'b')");
    EXPECT_EQ(L::fromDefaultText("'a' || 'b'").description(), "('a' || 'b')");
    EXPECT_EQ(L::fromDefaultText("x'00'||x'01'"), L::numericLiteral("x'00'||x'01'"));
    EXPECT_EQ(L::fromDefaultText("1 + 2").description(), "(1 + 2)");
    EXPECT_EQ(L::fromDefaultText("(1 + 2)").description(), "(1 + 2)");
    EXPECT_EQ(L::fromDefaultText("(1)+(2)").description(), "((1)+(2))");
    EXPECT_EQ(L::fromDefaultText("abs(-2)").description(), "(abs(-2))");
    // A quoted text over two lines is kept whole.
    EXPECT_EQ(L::fromDefaultText("'a\nb'"), L::numericLiteral("'a\nb'"));
    EXPECT_EQ(L::fromDefaultText("'a\nb'").description(), "('a\nb')");
    // Plain numbers and single words are written unchanged.
    for (const char* number : {"0", "-1.5", "+3", "1e10", "-2.5E-3", ".5", "0x1F", "abc"})
        EXPECT_EQ(L::fromDefaultText(number).description(), number) << number;
}

// Every default the engine reports, written back into a column definition, gives a column with the
// same default value.
TEST(LiteralValueTest, DefaultsSurviveARoundTripThroughTheEngine)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a DEFAULT abc, b DEFAULT 'it''s', c DEFAULT ('a'||'b'), d DEFAULT (1 + 2),"
                " e DEFAULT -1.5, f DEFAULT x'0aff', g DEFAULT \"dq\", h DEFAULT 'a\nb', i DEFAULT (abs(-2)),"
                " j DEFAULT ((1)+(2)), k DEFAULT 0x1F, l DEFAULT TRUE, m DEFAULT null)");
    db->execute("INSERT INTO t DEFAULT VALUES");
    const auto expected = schematest::rows(*db, "SELECT * FROM t");

    std::string columns;
    int index = 0;
    for (const std::string& line : schematest::rows(*db, "SELECT name, dflt_value FROM pragma_table_info('t')")) {
        const std::string name = line.substr(0, line.find('|'));
        const std::string text = line.substr(line.find('|') + 1);
        const LiteralValue value = L::fromDefaultText(text == "NULL" ? std::nullopt : std::optional(text));
        columns += (index++ ? ", " : "") + name + " DEFAULT " + value.description();
    }
    db->execute("CREATE TABLE u (" + columns + ")");
    db->execute("INSERT INTO u DEFAULT VALUES");
    EXPECT_EQ(schematest::rows(*db, "SELECT * FROM u"), expected);
    EXPECT_EQ(expected.front(), "abc|it's|ab|3|-1.5|x'0aff'|dq|a\nb|2|3|31|1|NULL");
}
