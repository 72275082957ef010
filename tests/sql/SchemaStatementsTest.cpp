#include "sql/SchemaStatements.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using schematest::rows;

namespace {

const Expression<std::int64_t> id("id");
const Expression<std::string> email("email");
const Expression<std::optional<std::string>> name("name");
const Expression<std::optional<std::int64_t>> parentId("parent_id");

} // namespace

TEST(SchemaStatementsTest, AddColumn)
{
    const Table users("users");
    EXPECT_EQ(addColumn(users, email, "none"), "ALTER TABLE \"users\" ADD COLUMN \"email\" TEXT NOT NULL DEFAULT ('none')");
    EXPECT_EQ(addColumn(users, id, 0, id > std::int64_t{-1}),
              "ALTER TABLE \"users\" ADD COLUMN \"id\" INTEGER NOT NULL CHECK (\"id\" > -1) DEFAULT (0)");
    EXPECT_EQ(addColumn(users, name), "ALTER TABLE \"users\" ADD COLUMN \"name\" TEXT");
    EXPECT_EQ(addColumn(users, name, std::optional<std::string>("it's"), name != std::optional<std::string>("")),
              "ALTER TABLE \"users\" ADD COLUMN \"name\" TEXT CHECK (\"name\" != '') DEFAULT ('it''s')");
    EXPECT_EQ(addColumn(users, email, "x", {}, Collation::rtrim),
              "ALTER TABLE \"users\" ADD COLUMN \"email\" TEXT NOT NULL DEFAULT ('x') COLLATE RTRIM");
    EXPECT_EQ(addColumn(users, name, std::nullopt, {}, Collation::nocase),
              "ALTER TABLE \"users\" ADD COLUMN \"name\" TEXT COLLATE NOCASE");
    EXPECT_EQ(addColumn(Table("t", "main"), parentId, references(Table("parent", "main"), id), true),
              "ALTER TABLE \"main\".\"t\" ADD COLUMN \"parent_id\" INTEGER UNIQUE REFERENCES \"parent\" (\"id\")");
    EXPECT_EQ(addColumn(users, id, references(Table("parent"), id)),
              "ALTER TABLE \"users\" ADD COLUMN \"id\" INTEGER NOT NULL REFERENCES \"parent\" (\"id\")");
}

TEST(SchemaStatementsTest, RenameAndDrop)
{
    EXPECT_EQ(rename(Table("a", "main"), Table("b", "other").alias("x")), "ALTER TABLE \"main\".\"a\" RENAME TO \"b\"");
    EXPECT_EQ(rename(Table("a"), Table("b\"c")), "ALTER TABLE \"a\" RENAME TO \"b\"\"c\"");
    EXPECT_EQ(drop(Table("t")), "DROP TABLE \"t\"");
    EXPECT_EQ(drop(Table("t", "db"), true), "DROP TABLE IF EXISTS \"db\".\"t\"");
    EXPECT_EQ(drop(View("v"), true), "DROP VIEW IF EXISTS \"v\"");
    EXPECT_EQ(drop(View("v").alias("w")), "DROP VIEW \"w\"");
}

TEST(SchemaStatementsTest, IndexesWithGeneratedNames)
{
    const Table users("Users");
    EXPECT_EQ(createIndex(users, {email, name}), "CREATE INDEX \"index_users_on_email_name\" ON \"Users\" (\"email\", \"name\")");
    EXPECT_EQ(createIndex(users, {email}, true, true),
              "CREATE UNIQUE INDEX IF NOT EXISTS \"index_users_on_email\" ON \"Users\" (\"email\")");
    EXPECT_EQ(dropIndex(users, {email, name}), "DROP INDEX \"index_users_on_email_name\"");
    EXPECT_EQ(dropIndex(users, {email}, true), "DROP INDEX IF EXISTS \"index_users_on_email\"");
    EXPECT_EQ(createIndex(Table("t", "main").alias("x"), {id}),
              "CREATE INDEX \"main\".\"index_t_on_id\" ON \"x\" (\"id\")");
    EXPECT_EQ(createIndex(Table("t"), {}), "CREATE INDEX \"index_t_on\" ON \"t\" ()");
    EXPECT_EQ(sqlWithInlinedBindings(indexName(Table("My-Table.2"), {Expression<int>("Col \"x\""), Expression<int>("\xC3\xA9t\xC3\xA9")})),
              "\"index_my_table_2_on_col_x__t_\"");

    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE \"Users\" (email, name)");
    db->execute(createIndex(users, {email, name}, true));
    EXPECT_EQ(rows(*db, "SELECT name FROM sqlite_master WHERE type = 'index'"),
              std::vector<std::string>{"index_users_on_email_name"});
    db->execute(dropIndex(users, {email, name}));
    EXPECT_TRUE(rows(*db, "SELECT name FROM sqlite_master WHERE type = 'index'").empty());
}

TEST(SchemaStatementsTest, TablesAndViewsFromQueries)
{
    const Table users("users");
    const auto query = users.select(email).filter(id > std::int64_t{5});
    EXPECT_EQ(create(View("v"), query), "CREATE VIEW \"v\" AS SELECT \"email\" FROM \"users\" WHERE (\"id\" > 5)");
    EXPECT_EQ(create(View("v", "temp"), users, true, true), "CREATE TEMPORARY VIEW IF NOT EXISTS \"temp\".\"v\" AS SELECT * FROM \"users\"");
    EXPECT_EQ(create(Table("copy"), users.filter(email == "it's")),
              "CREATE TABLE \"copy\" AS SELECT * FROM \"users\" WHERE (\"email\" = 'it''s')");

    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE users (id INTEGER, email TEXT)");
    db->execute("INSERT INTO users VALUES (4, 'a'), (6, 'b'), (7, 'it''s')");
    db->execute(create(View("v"), query));
    db->execute(create(Table("copy"), users.filter(email == "it's")));
    EXPECT_EQ(rows(*db, "SELECT * FROM v"), (std::vector<std::string>{"b", "it's"}));
    EXPECT_EQ(rows(*db, "SELECT * FROM copy"), std::vector<std::string>{"7|it's"});
    db->execute(drop(View("v")));
    db->execute(rename(Table("copy"), Table("renamed")));
    db->execute(drop(Table("renamed"), true));
    db->execute(drop(Table("renamed"), true));
    EXPECT_EQ(rows(*db, "SELECT name FROM sqlite_master"), std::vector<std::string>{"users"});
}

TEST(SchemaStatementsTest, AddedColumnsRunOnTheEngine)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    db->execute("CREATE TABLE users (id INTEGER)");
    db->execute("INSERT INTO users VALUES (1)");
    const Table users("users");
    db->execute(addColumn(users, email, "it's", email != "", Collation::nocase));
    db->execute(addColumn(users, name, std::optional<std::string>("n")));
    db->execute(addColumn(users, parentId, references(Table("parent"), id)));
    EXPECT_EQ(rows(*db, "SELECT * FROM users"), std::vector<std::string>{"1|it's|n|NULL"});
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM users WHERE email = 'IT''S'"), std::vector<std::string>{"1"});
}

TEST(SchemaStatementsTest, VirtualTablesAndModules)
{
    EXPECT_EQ(sqlWithInlinedBindings(toExpression(Module("fts4", {}))), "\"fts4\"()");
    EXPECT_EQ(sqlWithInlinedBindings(toExpression(Module("my\"mod", {email, parameter(Binding(std::int64_t{2}))}))),
              "\"my\"\"mod\"(\"email\", 2)");
    EXPECT_EQ(create(VirtualTable("docs", "main"), Module("fts4", {email}), true),
              "CREATE VIRTUAL TABLE IF NOT EXISTS \"main\".\"docs\" USING \"fts4\"(\"email\")");

    auto db = schematest::memoryDatabase();
    db->execute(create(VirtualTable("docs"), Module("fts4", {email})));
    db->execute("INSERT INTO docs VALUES ('hello world')");
    EXPECT_EQ(rows(*db, "SELECT email FROM docs WHERE docs MATCH 'world'"), std::vector<std::string>{"hello world"});
}
