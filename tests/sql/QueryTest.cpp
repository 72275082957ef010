#include "sql/Query.h"
#include "support/SqlText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

using velquine::testing::expectSql;

namespace {

OptBinding i64(std::int64_t v) { return Binding(v); }
OptBinding text(const std::string& v) { return Binding(v); }
using Bindings = std::vector<OptBinding>;

const Table users("users");
const Expression<std::int64_t> id("id");
const Expression<std::string> name("name");
const Expression<std::int64_t> age("age");
const Expression<std::optional<std::int64_t>> managerId("manager_id");
const Expression<std::int64_t> userId("user_id");

} // namespace

TEST(SqlQuery, NewQueryRendersOnlyItsSelect)
{
    expectSql(users, "SELECT * FROM \"users\"");
    expectSql(Table("users", "main"), "SELECT * FROM \"main\".\"users\"");
    expectSql(users.alias("u"), "SELECT * FROM \"users\" AS \"u\"");
    expectSql(Table("users", "main").alias("u"), "SELECT * FROM \"main\".\"users\" AS \"u\"");
    expectSql(Table("we\"ird"), "SELECT * FROM \"we\"\"ird\"");
    expectSql(View("v"), "SELECT * FROM \"v\"");
    expectSql(VirtualTable("fts"), "SELECT * FROM \"fts\"");
    EXPECT_STREQ(Table::schemaKeyword, "TABLE");
    EXPECT_STREQ(View::schemaKeyword, "VIEW");
    EXPECT_STREQ(VirtualTable::schemaKeyword, "VIRTUAL TABLE");
}

TEST(SqlQuery, SelectListsReplaceEachOther)
{
    expectSql(users.select(id, name), "SELECT \"id\", \"name\" FROM \"users\"");
    expectSql(users.select(id, name).select(std::vector<Expression<void>>{age}), "SELECT \"age\" FROM \"users\"");
    expectSql(users.selectDistinct(id, name), "SELECT DISTINCT \"id\", \"name\" FROM \"users\"");
    expectSql(users.select({id, name, age}), "SELECT \"id\", \"name\", \"age\" FROM \"users\"");
    expectSql(users.select(id, name).select(star), "SELECT * FROM \"users\"");
    expectSql(users.selectDistinct(star), "SELECT DISTINCT * FROM \"users\"");
    expectSql(users.select(literal("count(*)")), "SELECT count(*) FROM \"users\"");
    // Column values come first among the bindings.
    expectSql(users.select(age + 1, name).filter(id == 2), "SELECT (\"age\" + ?), \"name\" FROM \"users\" WHERE (\"id\" = ?)",
              {i64(1), i64(2)});
    // The receiver is never changed.
    expectSql(users, "SELECT * FROM \"users\"");
}

TEST(SqlQuery, TypedSelectAndCountGiveScalarQueries)
{
    ScalarQuery<std::string> names = users.alias("u").select(name);
    expectSql(names, "SELECT \"name\" FROM \"users\" AS \"u\"");
    ScalarQuery<std::optional<std::int64_t>> managers = users.selectDistinct(managerId);
    expectSql(managers, "SELECT DISTINCT \"manager_id\" FROM \"users\"");
    ScalarQuery<std::int64_t> count = users.filter(age > 18).count();
    expectSql(count, "SELECT count(*) FROM \"users\" WHERE (\"age\" > ?)", {i64(18)});
    // A scalar query goes on building as a scalar query.
    ScalarQuery<std::string> limited = names.limit(3);
    expectSql(limited, "SELECT \"name\" FROM \"users\" AS \"u\" LIMIT 3");
}

TEST(SqlQuery, FiltersAreAndedLeftToRight)
{
    expectSql(users.filter(age > 18), "SELECT * FROM \"users\" WHERE (\"age\" > ?)", {i64(18)});
    expectSql(users.filter(age > 18).filter(name == "bo"),
              "SELECT * FROM \"users\" WHERE ((\"age\" > ?) AND (\"name\" = ?))", {i64(18), text("bo")});
    expectSql(users.filter(managerId == std::nullopt), "SELECT * FROM \"users\" WHERE (\"manager_id\" IS ?)",
              {std::nullopt});
}

TEST(SqlQuery, Joins)
{
    const Table posts("posts");
    expectSql(users.join(posts, posts[userId] == users[id]),
              "SELECT * FROM \"users\" INNER JOIN \"posts\" ON (\"posts\".\"user_id\" = \"users\".\"id\")");
    expectSql(users.join(JoinType::leftOuter, posts, posts[userId] == users[id]),
              "SELECT * FROM \"users\" LEFT OUTER JOIN \"posts\" ON (\"posts\".\"user_id\" = \"users\".\"id\")");
    expectSql(users.join(JoinType::cross, posts.alias("p"), Expression<bool>::literal("1")),
              "SELECT * FROM \"users\" CROSS JOIN \"posts\" AS \"p\" ON 1");
    // The joined query's filter joins the ON condition; its select, order and limit are dropped.
    const auto filteredPosts = posts.select(id).filter(Expression<bool>("published")).order(id).limit(2);
    expectSql(users.join(filteredPosts, posts[userId] == 7),
              "SELECT * FROM \"users\" INNER JOIN \"posts\" ON ((\"posts\".\"user_id\" = ?) AND \"published\")", {i64(7)});
    // Join bindings precede filter bindings.
    expectSql(users.join(posts, posts[userId] == 1).filter(age > 2 && age < 3),
              "SELECT * FROM \"users\" INNER JOIN \"posts\" ON (\"posts\".\"user_id\" = ?) "
              "WHERE ((\"age\" > ?) AND (\"age\" < ?))",
              {i64(1), i64(2), i64(3)});
    // Two joins in order; an optional condition is accepted.
    const Table tags("tags");
    expectSql(users.join(posts, posts[userId] == users[id]).join(JoinType::leftOuter, tags, tags[managerId] == users[id]),
              "SELECT * FROM \"users\" INNER JOIN \"posts\" ON (\"posts\".\"user_id\" = \"users\".\"id\") "
              "LEFT OUTER JOIN \"tags\" ON (\"tags\".\"manager_id\" = \"users\".\"id\")");
}

TEST(SqlQuery, NamespacingUsesTheNameWithoutAlias)
{
    EXPECT_EQ(users[id].templ, "\"users\".\"id\"");
    EXPECT_EQ(users.alias("u")[id].templ, "\"u\".\"id\"");
    EXPECT_EQ(Table("users", "main").alias("u")[id].templ, "\"main\".\"u\".\"id\"");
    EXPECT_EQ(Table("users", "main")[id].templ, "\"main\".\"users\".\"id\"");
    EXPECT_EQ(users[star].templ, "\"users\".*");
    Expression<std::optional<std::int64_t>> qualified = users[managerId];
    EXPECT_EQ(qualified.templ, "\"users\".\"manager_id\"");
    Expression<std::int64_t> bound("(? + 1)", {i64(4)});
    EXPECT_EQ(users[bound].bindings, Bindings{i64(4)});
    EXPECT_EQ(users.alias("u").tableName().templ, "\"u\"");
    EXPECT_EQ(Table("users", "main").alias("u").tableName(true).templ, "\"main\".\"u\"");
    EXPECT_EQ(Table("users", "main").alias("u").tableName(false).templ, "\"u\"");
    EXPECT_EQ(Table("users", "main").tableName(false).templ, "\"users\"");
    EXPECT_EQ(Table("users", "main").tableName(true).templ, "\"main\".\"users\"");
}

TEST(SqlQuery, GroupOrderLimit)
{
    expectSql(users.group(age, name), "SELECT * FROM \"users\" GROUP BY \"age\", \"name\"");
    expectSql(users.group({age, name}, Expression<bool>::literal("count(*) > 1")),
              "SELECT * FROM \"users\" GROUP BY \"age\", \"name\" HAVING count(*) > 1");
    expectSql(users.group({age}, age > 3).group(name), "SELECT * FROM \"users\" GROUP BY \"name\"");
    expectSql(users.group({age}, managerId > 3), "SELECT * FROM \"users\" GROUP BY \"age\" HAVING (\"manager_id\" > ?)",
              {i64(3)});
    expectSql(users.order(asc(name), desc(age)), "SELECT * FROM \"users\" ORDER BY \"name\" ASC, \"age\" DESC");
    expectSql(users.order(name).order(age), "SELECT * FROM \"users\" ORDER BY \"age\"");
    expectSql(users.order({desc(id)}), "SELECT * FROM \"users\" ORDER BY \"id\" DESC");
    expectSql(users.limit(5), "SELECT * FROM \"users\" LIMIT 5");
    expectSql(users.limit(10, 20), "SELECT * FROM \"users\" LIMIT 10 OFFSET 20");
    expectSql(users.limit(5, 10).limit(std::nullopt), "SELECT * FROM \"users\"");
    expectSql(users.limit(5, 10).limit(3), "SELECT * FROM \"users\" LIMIT 3");
    expectSql(users.limit(-1, -2), "SELECT * FROM \"users\" LIMIT -1 OFFSET -2");
}

TEST(SqlQuery, PartsComeInFixedOrder)
{
    const Table posts("posts");
    const Table admins("admins");
    const auto q = users.select(name)
                       .join(posts, posts[userId] == users[id])
                       .filter(age > 1)
                       .group({name}, age < 2)
                       .unionAll(admins.select(name).filter(age == 3).order(name).limit(1))
                       .order(desc(name))
                       .limit(5, 10)
                       .with(Table("recent"), posts.filter(id > 4));
    expectSql(q,
              "WITH \"recent\" AS (SELECT * FROM \"posts\" WHERE (\"id\" > ?)) "
              "SELECT \"name\" FROM \"users\" "
              "INNER JOIN \"posts\" ON (\"posts\".\"user_id\" = \"users\".\"id\") "
              "WHERE (\"age\" > ?) "
              "GROUP BY \"name\" HAVING (\"age\" < ?) "
              "UNION ALL SELECT \"name\" FROM \"admins\" WHERE (\"age\" = ?) ORDER BY \"name\" LIMIT 1 "
              "ORDER BY \"name\" DESC "
              "LIMIT 5 OFFSET 10",
              {i64(4), i64(1), i64(2), i64(3)});
}

TEST(SqlQuery, Unions)
{
    const Table a("a"), b("b"), c("c");
    expectSql(a.union_(b).unionAll(c), "SELECT * FROM \"a\" UNION SELECT * FROM \"b\" UNION ALL SELECT * FROM \"c\"");
    expectSql(a.union_(b, true), "SELECT * FROM \"a\" UNION ALL SELECT * FROM \"b\"");
    // A member keeps its own WITH, ORDER BY and LIMIT.
    expectSql(a.union_(b.with(Table("x"), c).order(id).limit(2)),
              "SELECT * FROM \"a\" UNION WITH \"x\" AS (SELECT * FROM \"c\") SELECT * FROM \"b\" ORDER BY \"id\" LIMIT 2");
}

TEST(SqlQuery, Exists)
{
    Expression<bool> e = users.filter(id == 1).exists();
    EXPECT_EQ(e.templ, "SELECT EXISTS (SELECT * FROM \"users\" WHERE (\"id\" = ?))");
    EXPECT_EQ(e.bindings, Bindings{i64(1)});
}

TEST(SqlQuery, RawValuesOfEnumerations)
{
    EXPECT_EQ(rawValue(JoinType::cross), "CROSS");
    EXPECT_EQ(rawValue(JoinType::inner), "INNER");
    EXPECT_EQ(rawValue(JoinType::leftOuter), "LEFT OUTER");
    EXPECT_EQ(joinTypeFromRawValue("LEFT OUTER"), JoinType::leftOuter);
    EXPECT_EQ(joinTypeFromRawValue("left outer"), std::nullopt);
    EXPECT_EQ(joinTypeFromRawValue("OUTER"), std::nullopt);
    EXPECT_EQ(rawValue(MaterializationHint::materialized), "MATERIALIZED");
    EXPECT_EQ(rawValue(MaterializationHint::notMaterialized), "NOT MATERIALIZED");
    EXPECT_EQ(materializationHintFromRawValue("NOT MATERIALIZED"), MaterializationHint::notMaterialized);
    EXPECT_EQ(materializationHintFromRawValue("materialized"), std::nullopt);
    const std::pair<OnConflict, const char*> conflicts[] = {{OnConflict::replace, "REPLACE"}, {OnConflict::rollback, "ROLLBACK"},
                                                           {OnConflict::abort, "ABORT"}, {OnConflict::fail, "FAIL"},
                                                           {OnConflict::ignore, "IGNORE"}};
    for (const auto& [c, t] : conflicts) {
        EXPECT_EQ(rawValue(c), t);
        EXPECT_EQ(onConflictFromRawValue(t), c);
    }
    EXPECT_EQ(onConflictFromRawValue("Replace"), std::nullopt);
}

TEST(SqlWith, CommonTableExpressions)
{
    const Table c("c");
    const Table src("src");
    expectSql(users.with(c, src), "WITH \"c\" AS (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    expectSql(users.with(c, src, std::vector<Expression<void>>{Expression<void>("a"), Expression<void>("b")}, true,
                         MaterializationHint::notMaterialized),
              "WITH RECURSIVE \"c\" (\"a\", \"b\") AS NOT MATERIALIZED (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    // An empty column list renders empty parentheses; an absent one renders nothing.
    expectSql(users.with(c, src, std::vector<Expression<void>>{}), "WITH \"c\" () AS (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    expectSql(users.with(c, src, std::nullopt, false, MaterializationHint::materialized),
              "WITH \"c\" AS MATERIALIZED (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    // Clauses in call order after one WITH; recursion sticks.
    const auto two = users.with(c, src, std::nullopt, true).with(Table("d"), Table("e"));
    expectSql(two, "WITH RECURSIVE \"c\" AS (SELECT * FROM \"src\"), \"d\" AS (SELECT * FROM \"e\") SELECT * FROM \"users\"");
    expectSql(two.filter(id == 1), "WITH RECURSIVE \"c\" AS (SELECT * FROM \"src\"), \"d\" AS (SELECT * FROM \"e\") "
                                   "SELECT * FROM \"users\" WHERE (\"id\" = ?)",
              {i64(1)});
    // The alias table renders with its database (or its own alias) but never with AS.
    expectSql(users.with(Table("c", "temp"), src), "WITH \"temp\".\"c\" AS (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    expectSql(users.with(Table("c").alias("k"), src), "WITH \"k\" AS (SELECT * FROM \"src\") SELECT * FROM \"users\"");
    // Bindings: earlier clauses, then this clause's columns, then its query.
    const auto bound = users.with(c, src.filter(id == 1))
                           .with(Table("d"), src.filter(age == 3), std::vector<Expression<void>>{Expression<void>("(?)", {i64(2)})})
                           .filter(age > 4);
    expectSql(bound,
              "WITH \"c\" AS (SELECT * FROM \"src\" WHERE (\"id\" = ?)), \"d\" ((?)) AS (SELECT * FROM \"src\" WHERE (\"age\" = ?)) "
              "SELECT * FROM \"users\" WHERE (\"age\" > ?)",
              {i64(1), i64(2), i64(3), i64(4)});
    // A query with no common table expressions has no WITH.
    EXPECT_EQ(users.expression().templ.find("WITH"), std::string::npos);
}

TEST(SqlStatements, Insert)
{
    const Table t("t");
    const Expression<std::int64_t> a("a");
    const Expression<std::string> b("b");
    Insert ins = t.insert(set(a, 1), set(b, "x"));
    expectSql(ins, "INSERT INTO \"t\" (\"a\", \"b\") VALUES (?, ?)", {i64(1), text("x")});
    expectSql(t.insert({set(a, 1), set(b, "x")}), "INSERT INTO \"t\" (\"a\", \"b\") VALUES (?, ?)", {i64(1), text("x")});
    expectSql(t.insert(OnConflict::ignore, set(a, 1)), "INSERT OR IGNORE INTO \"t\" (\"a\") VALUES (?)", {i64(1)});
    expectSql(t.insert(OnConflict::replace, {set(a, 1), set(b, "y"), set(Expression<double>("c"), 0.5)}),
              "INSERT OR REPLACE INTO \"t\" (\"a\", \"b\", \"c\") VALUES (?, ?, ?)", {i64(1), text("y"), Binding(0.5)});
    expectSql(t.insert(), "INSERT INTO \"t\" DEFAULT VALUES");
    expectSql(t.insert(Table("s").select(a, b).filter(a > 2)),
              "INSERT INTO \"t\" SELECT \"a\", \"b\" FROM \"s\" WHERE (\"a\" > ?)", {i64(2)});
    // An aliased query writes the quoted alias, never AS; the database stays in front.
    expectSql(Table("t", "main").alias("x").insert(set(a, 1)), "INSERT INTO \"main\".\"x\" (\"a\") VALUES (?)", {i64(1)});
    // A filter is written as it is.
    expectSql(t.filter(a == 9).insert(set(a, 1)), "INSERT INTO \"t\" (\"a\") VALUES (?) WHERE (\"a\" = ?)", {i64(1), i64(9)});
    // Expression values and NULL.
    expectSql(t.insert(set(a, a + 1), set(Expression<std::optional<std::string>>("n"), std::nullopt)),
              "INSERT INTO \"t\" (\"a\", \"n\") VALUES ((\"a\" + ?), ?)", {i64(1), std::nullopt});
    EXPECT_EQ(t.insert(set(b, "O'Brien")).description(), "INSERT INTO \"t\" (\"b\") VALUES ('O''Brien')");
}

TEST(SqlStatements, InsertMany)
{
    const Table t("t");
    const Expression<std::int64_t> a("a");
    const Expression<std::string> b("b");
    expectSql(t.insertMany({{set(a, 1), set(b, "x")}, {set(a, 2), set(b, "y")}}),
              "INSERT INTO \"t\" (\"a\", \"b\") VALUES (?, ?), (?, ?)", {i64(1), text("x"), i64(2), text("y")});
    expectSql(t.insertMany(OnConflict::fail, {{set(a, 1)}, {set(a, 2)}}), "INSERT OR FAIL INTO \"t\" (\"a\") VALUES (?), (?)",
              {i64(1), i64(2)});
    expectSql(t.insertMany({}), "INSERT INTO \"t\" DEFAULT VALUES");
    expectSql(t.insertMany(OnConflict::replace, {}), "INSERT INTO \"t\" DEFAULT VALUES");
}

TEST(SqlStatements, Upsert)
{
    const Table t("t");
    const Expression<std::int64_t> idc("id");
    const Expression<std::string> nm("name");
    expectSql(t.upsert({set(idc, 1), set(nm, "a")}, idc),
              "INSERT INTO \"t\" (\"id\", \"name\") VALUES (?, ?) ON CONFLICT (\"id\") DO UPDATE SET \"name\" = \"excluded\".\"name\"",
              {i64(1), text("a")});
    expectSql(t.upsert({set(idc, 1), set(nm, "a")}, idc, {set(nm, "b")}),
              "INSERT INTO \"t\" (\"id\", \"name\") VALUES (?, ?) ON CONFLICT (\"id\") DO UPDATE SET \"name\" = ?",
              {i64(1), text("a"), text("b")});
    expectSql(t.upsert({set(idc, 1), set(nm, "a")}, idc, {concatAssign(nm, "!"), increment(idc)}),
              "INSERT INTO \"t\" (\"id\", \"name\") VALUES (?, ?) ON CONFLICT (\"id\") DO UPDATE SET "
              "\"name\" = (\"name\" || ?), \"id\" = (\"id\" + ?)",
              {i64(1), text("a"), text("!"), i64(1)});
    // A conflict target of several columns; every other column is updated. The comparison is exact.
    const Expression<void> both = join(", ", {idc, nm});
    expectSql(t.upsert({set(idc, 1), set(nm, "a"), set(Expression<std::int64_t>("n"), 2)}, both),
              "INSERT INTO \"t\" (\"id\", \"name\", \"n\") VALUES (?, ?, ?) ON CONFLICT (\"id\", \"name\") DO UPDATE SET "
              "\"id\" = \"excluded\".\"id\", \"name\" = \"excluded\".\"name\", \"n\" = \"excluded\".\"n\"",
              {i64(1), text("a"), i64(2)});
}

TEST(SqlStatements, UpdateAndDelete)
{
    const Table t("t");
    const Expression<std::int64_t> a("a");
    const Expression<std::string> b("b");
    expectSql(t.update(set(a, 1), set(b, "x")), "UPDATE \"t\" SET \"a\" = ?, \"b\" = ?", {i64(1), text("x")});
    expectSql(t.filter(a > 5).order(desc(a)).limit(1).update({increment(a)}),
              "UPDATE \"t\" SET \"a\" = (\"a\" + ?) WHERE (\"a\" > ?) ORDER BY \"a\" DESC LIMIT 1", {i64(1), i64(5)});
    expectSql(t.limit(1).update(set(b, "y")), "UPDATE \"t\" SET \"b\" = ? LIMIT 1", {text("y")});
    expectSql(t.alias("x").update(set(a, 2)), "UPDATE \"x\" SET \"a\" = ?", {i64(2)});
    expectSql(t.delete_(), "DELETE FROM \"t\"");
    expectSql(Table("t", "main").alias("x").filter(a == 3).delete_(), "DELETE FROM \"main\".\"x\" WHERE (\"a\" = ?)", {i64(3)});
    expectSql(t.order(a).limit(2, 4).delete_(), "DELETE FROM \"t\" ORDER BY \"a\" LIMIT 2 OFFSET 4");
    EXPECT_EQ(t.filter(b == "it's").delete_().description(), "DELETE FROM \"t\" WHERE (\"b\" = 'it''s')");
}

TEST(SqlStatements, SelectValueAndDescription)
{
    Select<std::int64_t> s(users.select(id).filter(name == "x").expression());
    EXPECT_EQ(s.templ, "SELECT \"id\" FROM \"users\" WHERE (\"name\" = ?)");
    EXPECT_EQ(s.description(), "SELECT \"id\" FROM \"users\" WHERE (\"name\" = 'x')");
    EXPECT_EQ(toExpression(s).bindings, Bindings{text("x")});
}
