#include "sql/QuerySource.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

TEST(QuerySourceTest, AliasAndDatabaseNaming)
{
    const Table plain("t");
    EXPECT_EQ(tableExpression(plain, true).templ, "\"t\"");
    EXPECT_EQ(tableExpression(plain, false).templ, "\"t\"");

    const Table full = Table("t", "db").alias("x");
    EXPECT_EQ(tableExpression(full, true).templ, "\"db\".\"t\" AS \"x\"");
    EXPECT_EQ(tableExpression(full, false).templ, "\"db\".\"x\"");
    EXPECT_TRUE(tableExpression(full, true).bindings.empty());

    const Table aliased = Table("t").alias("x");
    EXPECT_EQ(tableExpression(aliased, true).templ, "\"t\" AS \"x\"");
    EXPECT_EQ(tableExpression(aliased, false).templ, "\"x\"");

    const Table quoted = Table("a\"b", "d\"b").alias("x\"y");
    EXPECT_EQ(tableExpression(quoted, true).templ, "\"d\"\"b\".\"a\"\"b\" AS \"x\"\"y\"");
    EXPECT_EQ(tableExpression(quoted, false).templ, "\"d\"\"b\".\"x\"\"y\"");

    EXPECT_EQ(tableExpression(View("v", "main"), false).templ, "\"main\".\"v\"");
}

TEST(QuerySourceTest, WrapKeepsEveryValue)
{
    Expression<std::int64_t> counted = wrap<std::int64_t>("count", parameter(Binding(std::int64_t{1})));
    EXPECT_EQ(counted.templ, "count(?)");
    EXPECT_EQ(counted.bindings, (std::vector<OptBinding>{Binding(std::int64_t{1})}));
    Expression<bool> grouped = wrap<bool>("", literal("a AND b"));
    EXPECT_EQ(grouped.templ, "(a AND b)");
    Expression<void> pair = wrap("f", join(", ", {parameter(Binding(std::string("x"))), parameter(Binding(2.5))}));
    EXPECT_EQ(pair.templ, "f(?, ?)");
    EXPECT_EQ(pair.bindings, (std::vector<OptBinding>{Binding(std::string("x")), Binding(2.5)}));
}
