#include "sql/Connection.h"
#include "sql/Operators.h"
#include "sql/Query.h"
#include "sql/Row.h"
#include "sql/Setter.h"

#include <gtest/gtest.h>

#include <thread>

using namespace velquine::sql;

namespace {

const Table users("users");
const Table posts("posts");
const Expression<std::int64_t> id("id");
const Expression<std::string> name("name");
const Expression<std::optional<std::string>> email("email");
const Expression<std::int64_t> userId("userId");
const Expression<std::string> title("title");

std::shared_ptr<Connection> sampleDatabase()
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE users (id INTEGER PRIMARY KEY, name TEXT NOT NULL, email TEXT);"
                "CREATE TABLE posts (id INTEGER PRIMARY KEY, userId INTEGER, title TEXT);"
                "INSERT INTO users VALUES (1, 'ann', 'ann@example.org'), (2, 'bob', NULL), (3, 'cy', 'cy@x');"
                "INSERT INTO posts VALUES (10, 1, 'first'), (11, 1, 'second'), (12, 2, 'third');");
    return db;
}

} // namespace

TEST(SelectTest, StarExpandsToTheTablesColumns)
{
    auto db = sampleDatabase();
    EXPECT_EQ(db->columnNamesForQuery(users), (ColumnNameMap{{"\"id\"", 0}, {"\"name\"", 1}, {"\"email\"", 2}}));
    // A plain column is keyed by its whole template, the counter runs on behind a star, and a later
    // equal key takes the later position.
    EXPECT_EQ(db->columnNamesForQuery(users.select(name, wrap("count", toExpression(star)), star)),
              (ColumnNameMap{{"\"name\"", 3}, {"count(*)", 1}, {"\"id\"", 2}, {"\"email\"", 4}}));
}

TEST(SelectTest, JoinedStarsAreQualified)
{
    auto db = sampleDatabase();
    auto query = users.join(posts, users[id] == posts[userId]);
    ColumnNameMap map = db->columnNamesForQuery(query);
    EXPECT_EQ(map, (ColumnNameMap{{"\"users\".\"id\"", 0}, {"\"users\".\"name\"", 1}, {"\"users\".\"email\"", 2},
                                  {"\"posts\".\"id\"", 3}, {"\"posts\".\"userId\"", 4}, {"\"posts\".\"title\"", 5}}));

    std::vector<std::string> seen;
    for (const Row& row : db->prepare(query.order(posts[id]))) {
        seen.push_back(row.get(name) + ":" + row.get(title) + ":" + std::to_string(row.get(users[id])));
        EXPECT_THROW(row.get(id), QueryError); // in both tables
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"ann:first:1", "ann:second:1", "bob:third:2"}));
}

TEST(SelectTest, QualifiedStarAndAliases)
{
    auto db = sampleDatabase();
    auto u = users.alias("u");
    auto query = u.select(u[star], posts[title]).join(posts, u[id] == posts[userId]);
    EXPECT_EQ(db->columnNamesForQuery(query),
              (ColumnNameMap{{"\"u\".\"id\"", 0}, {"\"u\".\"name\"", 1}, {"\"u\".\"email\"", 2},
                             {"\"posts\".\"title\"", 3}}));
    auto row = db->firstRow(query.order(posts[id].expression()));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(name), "ann");
    EXPECT_EQ(row->get(title), "first");

    try {
        db->columnNamesForQuery(users.select(Table("nope")[star]));
        FAIL() << "expanded a table that is not in the query";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::noSuchTable);
        EXPECT_STREQ(error.what(), "No such table: \"nope\"");
    }
}

TEST(SelectTest, StarOverACommonTableExpression)
{
    auto db = sampleDatabase();
    Table named("named");
    auto query = named.with(named, users.select(id, name).filter(id > std::int64_t{1})).order(id);
    EXPECT_EQ(db->columnNamesForQuery(query), (ColumnNameMap{{"\"id\"", 0}, {"\"name\"", 1}}));
    std::vector<std::string> names;
    for (const Row& row : db->prepare(query))
        names.push_back(row.get(name));
    EXPECT_EQ(names, (std::vector<std::string>{"bob", "cy"}));
}

TEST(SelectTest, PrepareIsLazyAndFailsEarlyForMissingTables)
{
    auto db = sampleDatabase();
    RowIterator rows = db->prepare(users.filter(id > std::int64_t{3}));
    db->run(users.insert(set(name, std::string("dee"))));
    auto row = rows.failableNext();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(name), "dee");

    try {
        db->prepare(Table("missing"));
        FAIL() << "prepared a missing table";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such table: missing (code: 1)");
    }
}

TEST(SelectTest, FirstRowKeepsTheOffsetAndLeavesTheQuery)
{
    auto db = sampleDatabase();
    auto query = users.order(id).limit(5, 1);
    std::vector<std::string> traced;
    db->trace([&](const std::string& sql) { traced.push_back(sql); });
    auto row = db->firstRow(query);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(name), "bob");
    EXPECT_EQ(traced.back(), "SELECT * FROM \"users\" ORDER BY \"id\" LIMIT 1 OFFSET 1");
    EXPECT_EQ(query.clauses.limit->length, 5);
    EXPECT_FALSE(db->firstRow(users.filter(id > std::int64_t{100})));
    EXPECT_EQ(db->firstRow(users.order(id))->get(name), "ann");
}

TEST(SelectTest, ScalarForms)
{
    auto db = sampleDatabase();
    EXPECT_EQ(db->scalar(users.count()), 3);
    EXPECT_EQ(db->scalar(users.select(email).filter(id == std::int64_t{1})), "ann@example.org");
    EXPECT_EQ(db->scalar(users.select(email).filter(id == std::int64_t{2})), std::nullopt); // NULL
    EXPECT_EQ(db->scalar(users.select(email).filter(id == std::int64_t{9})), std::nullopt); // no row
    // Text read as an integer is absent in the optional form.
    EXPECT_EQ(db->scalar(users.select(retype<std::optional<std::int64_t>>(name))), std::nullopt);

    try {
        db->scalar(users.select(name).filter(id == std::int64_t{9}));
        FAIL() << "a missing row gave a value";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::unexpectedNullValue);
        EXPECT_STREQ(error.what(), "Unexpected null value for column `\"name\"`");
    }

    Select<std::int64_t> select("SELECT max(\"id\") FROM \"users\" WHERE \"id\" < ?", {Binding(std::int64_t{3})});
    EXPECT_EQ(db->scalar(select), 2);
    Select<std::optional<std::string>> none("SELECT NULL", {});
    EXPECT_EQ(db->scalar(none), std::nullopt);
    EXPECT_THROW(db->scalar(Select<std::string>("SELECT NULL", {})), QueryError);
}

TEST(SelectTest, RunInsertUpdateDelete)
{
    auto db = sampleDatabase();
    EXPECT_EQ(db->run(users.insert(set(name, std::string("eve")), set(email, std::string("e@x")))), 4);
    EXPECT_EQ(db->run(users.filter(id > std::int64_t{2}).update(set(email, std::optional<std::string>()))), 2);
    EXPECT_EQ(db->run(users.filter(id == std::int64_t{99}).delete_()), 0);
    EXPECT_EQ(db->run(posts.filter(userId == std::int64_t{1}).delete_()), 2);
    EXPECT_EQ(db->scalar(users.select(email).filter(id == std::int64_t{4})), std::nullopt);
    try {
        db->run(Insert("INSERT INTO \"nowhere\" VALUES (?)", {std::nullopt}));
        FAIL() << "inserted into a missing table";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such table: nowhere (code: 1)");
    }
}

TEST(SelectTest, InsertsFromTwoThreadsGetTheirOwnRowIds)
{
    auto db = sampleDatabase();
    std::vector<std::int64_t> a, b;
    auto work = [&](std::vector<std::int64_t>& ids, const std::string& who) {
        for (int i = 0; i < 100; ++i)
            ids.push_back(db->run(users.insert(set(name, who))));
    };
    std::thread first(work, std::ref(a), "a"), second(work, std::ref(b), "b");
    first.join();
    second.join();
    for (std::int64_t rowid : a)
        EXPECT_EQ(db->scalar(users.select(name).filter(id == rowid)), "a");
    for (std::int64_t rowid : b)
        EXPECT_EQ(db->scalar(users.select(name).filter(id == rowid)), "b");
}

TEST(SelectTest, RepeatedColumnsAndStarsTakeTheLaterPosition)
{
    auto db = sampleDatabase();
    // The same column twice: one key at the later position; the columns after it keep theirs.
    EXPECT_EQ(db->columnNamesForQuery(users.select(name, email, name, id)),
              (ColumnNameMap{{"\"name\"", 2}, {"\"email\"", 1}, {"\"id\"", 3}}));
    // Two stars on one table: every key ends with its position from the second expansion.
    EXPECT_EQ(db->columnNamesForQuery(users.select(star, star)),
              (ColumnNameMap{{"\"id\"", 3}, {"\"name\"", 4}, {"\"email\"", 5}}));
    auto statement = db->prepare(users.select(name, email, name, id).filter(id == std::int64_t{1}));
    auto row = statement.failableNext();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->values.size(), 4u);
    EXPECT_EQ(row->get(name), "ann");
    EXPECT_EQ(row->get(id), 1);
}

TEST(SelectTest, JoinedAliasQualifiesItsColumns)
{
    auto db = sampleDatabase();
    auto p = posts.alias("p");
    auto query = users.join(JoinType::leftOuter, p, users[id] == p[userId]);
    EXPECT_EQ(db->columnNamesForQuery(query),
              (ColumnNameMap{{"\"users\".\"id\"", 0}, {"\"users\".\"name\"", 1}, {"\"users\".\"email\"", 2},
                             {"\"p\".\"id\"", 3}, {"\"p\".\"userId\"", 4}, {"\"p\".\"title\"", 5}}));
    // cy has no post: the left outer join gives NULL for the post's columns.
    std::vector<std::string> seen;
    for (const Row& row : db->prepare(query.order(users[id], p[id])))
        seen.push_back(row.get(name) + "/" + row.get(retype<std::optional<std::string>>(p[title])).value_or("-"));
    EXPECT_EQ(seen, (std::vector<std::string>{"ann/first", "ann/second", "bob/third", "cy/-"}));
}

TEST(SelectTest, RepeatedRunsOfOneTemplate)
{
    auto db = sampleDatabase();
    std::vector<std::string> traced;
    db->trace([&](const std::string& sql) { traced.push_back(sql); });
    for (int i = 0; i < 3; ++i)
        db->run(posts.insert(set(userId, std::int64_t{3}), set(title, "t" + std::to_string(i))));
    EXPECT_EQ(traced, (std::vector<std::string>{"INSERT INTO \"posts\" (\"userId\", \"title\") VALUES (3, 't0')",
                                                 "INSERT INTO \"posts\" (\"userId\", \"title\") VALUES (3, 't1')",
                                                 "INSERT INTO \"posts\" (\"userId\", \"title\") VALUES (3, 't2')"}));
    db->trace(nullptr);

    // A failing run leaves the next run of the same template working.
    db->execute("CREATE UNIQUE INDEX one_title ON posts (title)");
    EXPECT_THROW(db->run(posts.insert(set(userId, std::int64_t{3}), set(title, std::string("t0")))), Result);
    EXPECT_GT(db->run(posts.insert(set(userId, std::int64_t{3}), set(title, std::string("t9")))), 0);

    // The table changes under a template that ran before.
    db->execute("DROP TABLE posts");
    EXPECT_THROW(db->run(posts.insert(set(userId, std::int64_t{3}), set(title, std::string("x")))), Result);
    db->execute("CREATE TABLE posts (id INTEGER PRIMARY KEY, userId INTEGER, title TEXT)");
    EXPECT_EQ(db->run(posts.insert(set(userId, std::int64_t{3}), set(title, std::string("x")))), 1);

    // More different templates than are kept compiled: each still runs.
    std::int64_t changed = 0;
    for (int i = 0; i < 50; ++i) {
        std::string newName = "n";
        newName += std::to_string(i);
        changed += db->run(Update("UPDATE \"users\" SET \"name\" = ? WHERE \"id\" = " + std::to_string(i % 4),
                                  {Binding(newName)}));
    }
    EXPECT_EQ(changed, 37); // ids 1, 2 and 3 exist: 50 runs minus the 13 with id 0
    EXPECT_EQ(db->scalar(users.select(name).filter(id == std::int64_t{3})), "n47");
}
