#include "sql/Expression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

namespace {

OptBinding i64(std::int64_t v) { return Binding(v); }
OptBinding text(const std::string& v) { return Binding(v); }

} // namespace

TEST(SqlQuoting, IdentifiersAndLiterals)
{
    EXPECT_EQ(quote("title"), "\"title\"");
    EXPECT_EQ(quote("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(quote(""), "\"\"");
    EXPECT_EQ(quote("O'Brien", '\''), "'O''Brien'");
    EXPECT_EQ(Expression<std::int64_t>("order by").templ, "\"order by\"");
    EXPECT_EQ(Expression<std::int64_t>("x\"y").templ, "\"x\"\"y\"");
    EXPECT_TRUE(Expression<std::int64_t>("x").bindings.empty());
}

TEST(SqlQuoting, QuoteFollowedByCombiningMarkIsStillDoubled)
{
    // U+0301 COMBINING ACUTE ACCENT after the quote would make one user-perceived character with it.
    const std::string name = "a\"\xCC\x81 OR 1=1 --";
    EXPECT_EQ(quote(name), "\"a\"\"\xCC\x81 OR 1=1 --\"");
    const std::string literalText = "x'\xCC\x81; DROP TABLE t; --";
    EXPECT_EQ(quote(literalText, '\''), "'x''\xCC\x81; DROP TABLE t; --'");
    // Every mark byte, also several in a row, is doubled.
    EXPECT_EQ(quote("\"\"\""), "\"\"\"\"\"\"\"\"");
}

TEST(SqlExpression, ValuesAndLiterals)
{
    auto v = value(std::int64_t{5});
    EXPECT_EQ(v.templ, "?");
    EXPECT_EQ(v.bindings, std::vector<OptBinding>{i64(5)});
    auto absent = value(std::optional<std::string>{});
    EXPECT_EQ(absent.templ, "?");
    ASSERT_EQ(absent.bindings.size(), 1u);
    EXPECT_FALSE(absent.bindings[0].has_value());
    EXPECT_EQ(value(true).bindings, std::vector<OptBinding>{i64(1)});
    auto lit = Expression<void>::literal("count(*)");
    EXPECT_EQ(lit.templ, "count(*)");
    EXPECT_TRUE(lit.bindings.empty());
    EXPECT_EQ(toExpression(star).templ, "*");
    EXPECT_EQ(toExpression(std::string("x")).bindings, std::vector<OptBinding>{text("x")});
}

TEST(SqlExpression, JoinKeepsBindingOrder)
{
    auto empty = join(", ", {});
    EXPECT_EQ(empty.templ, "");
    EXPECT_TRUE(empty.bindings.empty());
    Expression<void> a("?", {i64(1)});
    Expression<void> b("? + ?", {i64(2), i64(3)});
    auto joined = join(", ", {a, b});
    EXPECT_EQ(joined.templ, "?, ? + ?");
    EXPECT_EQ(joined.bindings, (std::vector<OptBinding>{i64(1), i64(2), i64(3)}));
}

TEST(SqlExpression, InfixWrapTermsCastRowid)
{
    Expression<std::int64_t> a("a"), b("b");
    EXPECT_EQ(infix(a, b, "=").templ, "(\"a\" = \"b\")");
    EXPECT_EQ(infix(a, b, "=", false).templ, "\"a\" = \"b\"");
    EXPECT_EQ(wrap("count", a).templ, "count(\"a\")");
    EXPECT_EQ(wrap("", a).templ, "(\"a\")");
    EXPECT_EQ(asc(a).templ, "\"a\" ASC");
    EXPECT_EQ(desc(a).templ, "\"a\" DESC");
    EXPECT_EQ(rowid.templ, "\"ROWID\"");
    Expression<std::string> c = cast<std::string>(a);
    EXPECT_EQ(c.templ, "CAST (\"a\" AS TEXT)");
    Expression<std::optional<double>> d = cast<double>(Expression<std::optional<std::int64_t>>("n"));
    EXPECT_EQ(d.templ, "CAST (\"n\" AS REAL)");
    Expression<void> withValue("(\"a\" + ?)", {i64(4)});
    EXPECT_EQ(asc(withValue).bindings, std::vector<OptBinding>{i64(4)});
}

TEST(SqlInline, LiteralsOfEveryStorageClass)
{
    EXPECT_EQ(Expression<void>("\"name\" = ?", {text("O'Brien")}).description(), "\"name\" = 'O''Brien'");
    EXPECT_EQ(Expression<void>("\"name\" = ?", {std::nullopt}).description(), "\"name\" = NULL");
    EXPECT_EQ(Expression<void>("?, ?", {i64(-42), Binding(Blob{0, 15, 255})}).description(), "-42, x'000fff'");
    EXPECT_EQ(inlineLiteral(Binding(1.0)), "1.0");
    EXPECT_EQ(inlineLiteral(Binding(0.1)), "0.1");
    EXPECT_EQ(inlineLiteral(Binding(-2.5)), "-2.5");
    EXPECT_EQ(inlineLiteral(Binding(100000.0)), "100000.0");
    EXPECT_EQ(inlineLiteral(Binding(1e16)), "1e+16");
    EXPECT_EQ(inlineLiteral(Binding(0.00001)), "1e-05");
    EXPECT_EQ(inlineLiteral(Binding(0.0001)), "0.0001");
    EXPECT_EQ(inlineLiteral(Binding(0.0)), "0.0");
    EXPECT_EQ(inlineLiteral(Binding(1.0 / 0.0)), "9e999");
    EXPECT_EQ(inlineLiteral(Binding(-1.0 / 0.0)), "-9e999");
    EXPECT_EQ(inlineLiteral(Binding(std::nan(""))), "NULL");
    EXPECT_EQ(inlineLiteral(Binding(std::string("it's"))), "'it''s'");
}

TEST(SqlInline, QuestionMarksInsideQuotesAreNotParameters)
{
    // The column "why?" and the literal 'a?b' hold no parameter; the one real "?" takes the one value.
    Expression<void> e("(\"why?\" = ?) AND 'a?b' = `c?` AND [d?] = ?", {i64(7), text("x")});
    EXPECT_EQ(sqlWithInlinedBindings(e), "(\"why?\" = 7) AND 'a?b' = `c?` AND [d?] = 'x'");
    // Doubled quotes do not end the quoted span early.
    Expression<void> doubled("\"a\"\"?\" = ? AND 'it''s?' = ?", {i64(1), i64(2)});
    EXPECT_EQ(sqlWithInlinedBindings(doubled), "\"a\"\"?\" = 1 AND 'it''s?' = 2");
}

TEST(SqlInline, NeverReadsPastTheLastBinding)
{
    EXPECT_EQ(Expression<void>("? = ? OR ?", {i64(1)}).description(), "1 = ? OR ?");
    EXPECT_EQ(Expression<void>("?", {}).description(), "?");
    // An unterminated quote is copied to the end.
    EXPECT_EQ(Expression<void>("? \"abc?", {i64(3)}).description(), "3 \"abc?");
    // A quoted name built by the layer that holds a "?" inlines correctly.
    Expression<std::int64_t> col("what?");
    Expression<void> cmp = infix(col, value(std::int64_t{2}), "=");
    EXPECT_EQ(cmp.description(), "(\"what?\" = 2)");
}
