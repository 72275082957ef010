#include "sql/Connection.h"
#include "sql/Statement.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace velquine::sql;

namespace {

std::shared_ptr<Connection> memoryDatabase()
{
    return Connection::open(Connection::Location::inMemory());
}

std::string text(const OptBinding& value)
{
    return std::get<std::string>(value.value());
}

std::int64_t integer(const OptBinding& value)
{
    return std::get<std::int64_t>(value.value());
}

} // namespace

TEST(StatementTest, PrepareWithAndWithoutValues)
{
    auto db = memoryDatabase();
    // A statement with a parameter can be prepared without values.
    auto statement = db->prepare("SELECT ?");
    EXPECT_EQ(statement->description(), "SELECT ?");
    EXPECT_FALSE(statement->scalar());
    // Values given one by one are bound.
    EXPECT_EQ(integer(db->prepare("SELECT ? + ?", 1, 2)->scalar()), 3);
    EXPECT_EQ(text(db->prepare("SELECT ?", "text")->scalar()), "text");
    // Only the first statement of the text is compiled.
    EXPECT_EQ(db->prepare("SELECT 1; SELECT 2")->description(), "SELECT 1;");
}

TEST(StatementTest, PrepareFailureThrowsWithoutStatement)
{
    auto db = memoryDatabase();
    try {
        db->prepare("SELECT * FROM nowhere");
        FAIL() << "prepared a query of a missing table";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such table: nowhere (code: 1)");
        EXPECT_FALSE(error.statement());
    }
}

TEST(StatementTest, EmptyTextRunsNothing)
{
    auto db = memoryDatabase();
    auto statement = db->prepare("  -- nothing here");
    EXPECT_FALSE(statement->step());
    EXPECT_NO_THROW(statement->run());
    EXPECT_FALSE(statement->scalar());
    EXPECT_EQ(statement->columnCount(), 0);
}

TEST(StatementTest, PositionalBinding)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE t (a, b, c)");
    auto insert = db->prepare("INSERT INTO t VALUES (?, ?, ?)");
    insert->run({Binding(std::int64_t{1}), Binding(2.5), Binding(std::string("x"))});
    // An empty list leaves the values bound before in force.
    insert->bind(std::vector<OptBinding>{});
    insert->run();
    EXPECT_EQ(integer(db->scalar("SELECT count(*) FROM t WHERE a = 1 AND b = 2.5 AND c = 'x'")), 2);

    // reset() clears every binding: all three become NULL.
    insert->reset();
    insert->run();
    EXPECT_EQ(integer(db->scalar("SELECT count(*) FROM t WHERE a IS NULL AND b IS NULL AND c IS NULL")), 1);

    // Int and Bool travel as Int64.
    insert->run({Binding(std::int64_t{true}), OptBinding(true), std::nullopt});
    EXPECT_EQ(text(db->scalar("SELECT typeof(a) || ',' || typeof(b) || ',' || typeof(c) FROM t WHERE rowid = 4")),
              "integer,integer,null");
    EXPECT_EQ(integer(db->scalar("SELECT b FROM t WHERE rowid = 4")), 1);
}

TEST(StatementTest, NamedBinding)
{
    auto db = memoryDatabase();
    auto statement = db->prepare("SELECT :a || @b || $c");
    OptBinding value = statement->scalar(std::map<std::string, OptBinding>{
        {":a", Binding(std::string("1"))}, {"@b", Binding(std::string("2"))}, {"$c", Binding(std::string("3"))}});
    EXPECT_EQ(text(value), "123");
    // A named bind always clears first: the concatenation with NULL is NULL.
    EXPECT_FALSE(statement->scalar(std::map<std::string, OptBinding>{{":a", Binding(std::string("1"))}}));
}

TEST(StatementDeathTest, WrongCountStopsWithMessage)
{
    auto db = memoryDatabase();
    auto statement = db->prepare("SELECT ?, ?, ?");
    EXPECT_DEATH(statement->bind({Binding(std::int64_t{1}), Binding(std::int64_t{2})}), "3 values expected, 2 passed");
    EXPECT_DEATH(statement->bind(std::map<std::string, OptBinding>{{":nope", std::nullopt}}),
                 "parameter not found: :nope");
}

TEST(StatementTest, BlobsAndTextKeepEveryByte)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE t (v)");
    // An empty blob is a zero-length BLOB, not NULL.
    db->run("INSERT INTO t VALUES (?)", {Binding(Blob())});
    EXPECT_EQ(text(db->scalar("SELECT typeof(v) FROM t")), "blob");
    OptBinding empty = db->scalar("SELECT v FROM t");
    ASSERT_TRUE(empty);
    EXPECT_EQ(std::get<Blob>(*empty), Blob());

    // Embedded NUL bytes survive in both directions.
    std::string withNul("a\0b\0c", 5);
    db->execute("DELETE FROM t");
    db->run("INSERT INTO t VALUES (?)", {Binding(withNul)});
    EXPECT_EQ(integer(db->scalar("SELECT length(CAST(v AS BLOB)) FROM t")), 5);
    EXPECT_EQ(text(db->scalar("SELECT v FROM t")), withNul);

    Blob bytes{0, 1, 0, 255};
    db->run("INSERT INTO t VALUES (?)", {Binding(bytes)});
    EXPECT_EQ(std::get<Blob>(*db->scalar("SELECT v FROM t WHERE typeof(v) = 'blob'")), bytes);

    auto select = db->prepare("SELECT v FROM t ORDER BY rowid");
    ASSERT_TRUE(select->step());
    EXPECT_EQ(select->row().getString(0), withNul);
    ASSERT_TRUE(select->step());
    EXPECT_EQ(select->row().getBlob(0), bytes);
}

TEST(StatementTest, ValuesBeyondTheEngineLimitFailWithTooBig)
{
    auto db = memoryDatabase();
    sqlite3* handle = db->handle();
    ASSERT_TRUE(handle);
    // Lower the engine's length limit so that a modest value exceeds it.
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, 1000);
    auto statement = db->prepare("SELECT ?");
    try {
        statement->bind({Binding(std::string(2000, 'x'))});
        FAIL() << "a too long text was bound";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 18); // SQLITE_TOOBIG
    }
    try {
        statement->bind({Binding(Blob(std::vector<std::uint8_t>(2000, 7)))});
        FAIL() << "a too long blob was bound";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 18);
    }
}

TEST(StatementTest, StepRunAndScalar)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE t (a)");
    auto insert = db->prepare("INSERT INTO t VALUES (?)");
    insert->bind({Binding(std::int64_t{5})});
    EXPECT_FALSE(insert->step()); // an INSERT steps once to done
    auto select = db->prepare("SELECT a FROM t");
    EXPECT_TRUE(select->step());
    EXPECT_FALSE(select->step());

    EXPECT_FALSE(db->scalar("SELECT a FROM t WHERE a = 99")); // no row
    EXPECT_FALSE(db->scalar("SELECT NULL"));                 // NULL in the first row
    // run() with no values reruns with the values bound before.
    insert->run();
    insert->run();
    EXPECT_EQ(integer(db->scalar("SELECT count(*) FROM t WHERE a = 5")), 3);
}

TEST(StatementTest, ColumnsAndCursor)
{
    auto db = memoryDatabase();
    auto statement = db->prepare("SELECT 1 AS a, 2.5 AS b, 'x' AS \"q\"\"n\", x'0102' AS a, NULL AS e");
    EXPECT_EQ(statement->columnCount(), 5);
    EXPECT_EQ(statement->columnNames(), (std::vector<std::string>{"a", "b", "q\"n", "a", "e"}));
    ColumnNameMap map = statement->columnNameMap();
    EXPECT_EQ(map, (ColumnNameMap{{"\"a\"", 3}, {"\"b\"", 1}, {"\"q\"\"n\"", 2}, {"\"e\"", 4}}));

    ASSERT_TRUE(statement->step());
    const Cursor& cursor = statement->row();
    EXPECT_EQ(integer(cursor[0]), 1);
    EXPECT_EQ(std::get<double>(*cursor[1]), 2.5);
    EXPECT_EQ(text(cursor[2]), "x");
    EXPECT_EQ(std::get<Blob>(*cursor[3]), (Blob{1, 2}));
    EXPECT_FALSE(cursor[4]);
    // Typed reads use the engine's conversions.
    EXPECT_EQ(cursor.getDouble(0), 1.0);
    EXPECT_EQ(cursor.getInt64(1), 2);
    EXPECT_EQ(cursor.getInt(0), 1);
    EXPECT_TRUE(cursor.getBool(0));
    EXPECT_EQ(cursor.getString(1), "2.5");
    std::vector<OptBinding> columns(cursor.begin(), cursor.end());
    EXPECT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[2], OptBinding(Binding(std::string("x"))));
}

TEST(StatementTest, IterationRestartsAndKeepsBindings)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (1), (2), (3), (4)");
    auto statement = db->prepare("SELECT a FROM t WHERE a > ? ORDER BY a", 2);
    std::vector<std::int64_t> seen;
    for (const auto& row : *statement)
        seen.push_back(integer(row[0]));
    EXPECT_EQ(seen, (std::vector<std::int64_t>{3, 4}));
    seen.clear();
    for (const auto& row : *statement)
        seen.push_back(integer(row[0]));
    EXPECT_EQ(seen, (std::vector<std::int64_t>{3, 4}));

    statement->bind(std::vector<OptBinding>{Binding(std::int64_t{0})});
    auto rows = collectAll(*statement);
    EXPECT_EQ(rows.size(), 4u);
    // The end stays the end until the statement restarts; an explicit step does not start over.
    EXPECT_FALSE(statement->failableNext());
    EXPECT_FALSE(statement->step());
    EXPECT_EQ(collectAll(*statement).size(), 0u);
}

TEST(StatementTest, StepErrorEndsPlainIterationAndIsLogged)
{
    auto db = memoryDatabase();
    db->createFunction("failAt3", 1u, true, [](const std::vector<OptBinding>& args) -> OptBinding {
        if (std::get<std::int64_t>(*args[0]) == 3)
            throw std::runtime_error("three is not allowed");
        return args[0];
    });
    db->execute("CREATE TABLE t (a INTEGER PRIMARY KEY); INSERT INTO t VALUES (1), (2), (3), (4)");
    auto statement = db->prepare("SELECT failAt3(a) FROM t ORDER BY a");
    std::vector<std::string> lines;
    auto previous = setErrorLogSink([&](const std::string& line) { lines.push_back(line); });
    std::vector<std::int64_t> seen;
    for (const auto& row : *statement)
        seen.push_back(integer(row[0]));
    setErrorLogSink(previous);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("three is not allowed (code: 1)"), std::string::npos) << lines[0];

    // The failable form reports the same failure.
    statement->reset();
    EXPECT_TRUE(statement->failableNext());
    EXPECT_TRUE(statement->failableNext());
    EXPECT_THROW(statement->failableNext(), Result);
    statement->reset();
    EXPECT_THROW(collectAll(*statement), Result);
}

TEST(StatementTest, VacuumRuns)
{
    auto db = memoryDatabase();
    EXPECT_NO_THROW(db->vacuum());
}

TEST(StatementTest, ScalarLeavesNoReadOpen)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (1), (2)");
    auto count = db->prepare("SELECT a FROM t ORDER BY a");
    EXPECT_EQ(integer(count->scalar()), 1);
    // A statement still positioned on a row would keep the engine from replacing a function.
    EXPECT_NO_THROW(db->createFunction("f", 0u, true, [](const std::vector<OptBinding>&) { return OptBinding(); }));
    EXPECT_EQ(integer(count->scalar()), 1);
}

TEST(StatementTest, EmptyValueListBindsNothing)
{
    auto db = memoryDatabase();
    // An empty list changes nothing, also on a statement that has parameters.
    auto statement = db->prepare("SELECT ?", std::vector<OptBinding>{});
    EXPECT_FALSE(statement->scalar());
    statement->bind({Binding(std::int64_t{4})});
    statement->bind(std::vector<OptBinding>{});
    EXPECT_EQ(integer(statement->scalar()), 4);
}
