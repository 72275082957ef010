#include "sql/Connection.h"
#include "sql/Row.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

namespace {

Row makeRow(ColumnNameMap map, std::vector<OptBinding> values)
{
    return Row(std::make_shared<const ColumnNameMap>(std::move(map)), std::move(values));
}

const Expression<std::int64_t> id("id");
const Expression<std::optional<std::int64_t>> optionalId("id");

} // namespace

TEST(RowTest, ExactKeyWinsOverSuffix)
{
    Row row = makeRow({{"\"id\"", 0}, {"\"users\".\"id\"", 1}}, {Binding(std::int64_t{10}), Binding(std::int64_t{20})});
    EXPECT_EQ(row.get(id), 10);
    EXPECT_EQ(row.get(Expression<std::int64_t>("\"users\".\"id\"", {})), 20);
}

TEST(RowTest, SuffixFindsOneQualifiedKey)
{
    Row row = makeRow({{"\"users\".\"id\"", 1}, {"\"users\".\"name\"", 0}},
                      {Binding(std::string("ann")), Binding(std::int64_t{7})});
    EXPECT_EQ(row.get(id), 7);
    EXPECT_EQ(row.get(Expression<std::string>("name")), "ann");
    EXPECT_EQ(row.position("\"name\""), 0);
}

TEST(RowTest, SuffixNeedsTheDot)
{
    Row row = makeRow({{"userid", 0}}, {Binding(std::int64_t{1})});
    try {
        row.get(Expression<std::int64_t>("id", {}));
        FAIL() << "found userid for id";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::noSuchColumn);
        EXPECT_STREQ(error.what(), R"(No such column `id` in columns ["userid"])");
    }
}

TEST(RowTest, AmbiguousAcrossJoinedTables)
{
    Row row = makeRow({{"\"users\".\"id\"", 0}, {"\"posts\".\"id\"", 1}}, {Binding(std::int64_t{1}), Binding(std::int64_t{2})});
    try {
        row.get(id);
        FAIL() << "an ambiguous column was read";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::ambiguousColumn);
        EXPECT_EQ(error.columns(), (std::vector<std::string>{"\"posts\".\"id\"", "\"users\".\"id\""}));
        EXPECT_STREQ(error.what(),
                     R"(Ambiguous column `"id"` (please disambiguate: ["\"posts\".\"id\"", "\"users\".\"id\""]))");
    }
}

TEST(RowTest, EmptyMapFailsEveryLookup)
{
    Row row = makeRow({}, {});
    try {
        row.get(optionalId);
        FAIL() << "read from an empty row";
    } catch (const QueryError& error) {
        EXPECT_STREQ(error.what(), "No such column `\"id\"` in columns []");
    }
}

TEST(RowTest, MissingColumnListsAllKeysSorted)
{
    Row row = makeRow({{"\"b\"", 0}, {"\"a\"", 1}, {"\"C\"", 2}}, {std::nullopt, std::nullopt, std::nullopt});
    try {
        row.get(id);
        FAIL();
    } catch (const QueryError& error) {
        EXPECT_EQ(error.columns(), (std::vector<std::string>{"\"C\"", "\"a\"", "\"b\""}));
    }
}

TEST(RowTest, NullAndStorageMismatch)
{
    Row row = makeRow({{"\"id\"", 0}, {"\"n\"", 1}}, {Binding(std::string("12")), std::nullopt});
    // Text where an integer is expected reads as absent, and as an unexpected NULL when required.
    EXPECT_EQ(row.get(optionalId), std::nullopt);
    try {
        row.get(id);
        FAIL() << "text was read as an integer";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::unexpectedNullValue);
        EXPECT_STREQ(error.what(), "Unexpected null value for column `\"id\"`");
    }
    EXPECT_EQ(row.get(Expression<std::optional<std::string>>("n")), std::nullopt);
    EXPECT_THROW(row.get(Expression<std::string>("n")), QueryError);
    EXPECT_EQ(row.get(Expression<std::string>("id")), "12");
}

TEST(RowTest, SubscriptNeverThrows)
{
    Row row = makeRow({{"\"a\".\"x\"", 0}, {"\"b\".\"x\"", 1}, {"\"big\"", 2}, {"\"n\"", 3}},
                      {Binding(std::int64_t{1}), Binding(std::int64_t{2}), Binding(std::int64_t{1} << 40), std::nullopt});
    EXPECT_EQ(row[Expression<std::int64_t>("x")], std::nullopt);       // ambiguous
    EXPECT_EQ(row[Expression<std::int64_t>("missing")], std::nullopt); // missing
    EXPECT_EQ(row[Expression<std::int64_t>("n")], std::nullopt);       // NULL
    EXPECT_EQ(row[Expression<int>("big")], std::nullopt);              // does not fit an int
    EXPECT_THROW(row.get(Expression<int>("big")), std::out_of_range);
    EXPECT_EQ(row[Expression<std::int64_t>("\"a\".\"x\"", {})], 1);
    EXPECT_EQ(row[Expression<std::optional<std::int64_t>>("big")], std::int64_t{1} << 40);
}

TEST(RowIteratorTest, FailableNextMapAndCompactMap)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a, b); INSERT INTO t VALUES (1, 'x'), (2, NULL), (3, 'z')");
    RowIterator rows = db->prepareRowIterator("SELECT a, b FROM t WHERE a >= ? ORDER BY a", {Binding(std::int64_t{1})});
    EXPECT_EQ(*rows.columnNames(), (ColumnNameMap{{"\"a\"", 0}, {"\"b\"", 1}}));
    auto first = rows.failableNext();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->get(Expression<std::int64_t>("a")), 1);
    // Copies share the statement's position.
    RowIterator copy = rows;
    auto second = copy.failableNext();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->get(Expression<std::int64_t>("a")), 2);
    auto rest = rows.map([](const Row& row) { return row.get(Expression<std::int64_t>("a")); });
    EXPECT_EQ(rest, std::vector<std::int64_t>{3});
    EXPECT_FALSE(rows.failableNext());

    RowIterator again = db->prepareRowIterator("SELECT a, b FROM t ORDER BY a", {});
    auto texts = again.compactMap([](const Row& row) { return row.get(Expression<std::optional<std::string>>("b")); });
    EXPECT_EQ(texts, (std::vector<std::string>{"x", "z"}));

    // A failing transform ends the collection and is passed on.
    RowIterator failing = db->prepareRowIterator("SELECT a, b FROM t ORDER BY a", {});
    EXPECT_THROW(failing.map([](const Row& row) { return row.get(Expression<std::string>("b")); }), QueryError);
}

TEST(RowIteratorTest, StepFailureEndsPlainIterationAndIsLogged)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->createFunction("verify", 1u, true, [](const std::vector<OptBinding>& args) -> OptBinding {
        if (std::get<std::int64_t>(*args[0]) > 1)
            throw std::runtime_error("corrupt row");
        return args[0];
    });
    db->execute("CREATE TABLE t (a INTEGER PRIMARY KEY); INSERT INTO t VALUES (1), (2), (3)");
    std::vector<std::string> lines;
    auto previous = setErrorLogSink([&](const std::string& line) { lines.push_back(line); });
    std::vector<std::int64_t> seen;
    for (const Row& row : db->prepareRowIterator("SELECT verify(a) AS a FROM t ORDER BY rowid", {}))
        seen.push_back(row.get(Expression<std::int64_t>("a")));
    setErrorLogSink(previous);
    EXPECT_EQ(seen, std::vector<std::int64_t>{1});
    EXPECT_EQ(lines, std::vector<std::string>{"reading rows ended by an error: corrupt row (code: 1)"});

    RowIterator rows = db->prepareRowIterator("SELECT verify(a) AS a FROM t ORDER BY rowid", {});
    EXPECT_TRUE(rows.failableNext());
    EXPECT_THROW(rows.failableNext(), Result);
}
