#include "sql/Connection.h"
#include "sql/Statement.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

namespace {

std::shared_ptr<Connection> memoryDatabase()
{
    return Connection::open(Connection::Location::inMemory());
}

std::string describe(const OptBinding& value)
{
    if (!value)
        return "NULL";
    return std::visit(
        [](const auto& v) -> std::string {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::int64_t>)
                return "int " + std::to_string(v);
            else if constexpr (std::is_same_v<V, double>)
                return "double " + std::to_string(v);
            else if constexpr (std::is_same_v<V, std::string>)
                return "text " + v;
            else
                return "blob " + std::to_string(v.size());
        },
        *value);
}

} // namespace

TEST(FunctionTest, ArgumentsAndResultsKeepTheirStorageClass)
{
    auto db = memoryDatabase();
    std::vector<std::string> seen;
    db->createFunction("echo", std::nullopt, true, [&](const std::vector<OptBinding>& args) -> OptBinding {
        for (const auto& arg : args)
            seen.push_back(describe(arg));
        return args.empty() ? OptBinding() : args.front();
    });
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT typeof(echo(1, 2.5, 'x', x'', NULL, x'00ff'))")), "integer");
    EXPECT_EQ(seen, (std::vector<std::string>{"int 1", "double 2.500000", "text x", "blob 0", "NULL", "blob 2"}));
    // Any number of arguments, none included.
    EXPECT_FALSE(db->scalar("SELECT echo()"));
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT typeof(echo(x''))")), "blob");
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT typeof(echo(2.0))")), "real");
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT typeof(echo('t'))")), "text");
}

TEST(FunctionTest, TextWithNulTravelsWhole)
{
    auto db = memoryDatabase();
    db->createFunction("twice", 1u, true, [](const std::vector<OptBinding>& args) -> OptBinding {
        const auto& text = std::get<std::string>(*args[0]);
        return Binding(text + text);
    });
    std::string withNul("a\0b", 3);
    OptBinding result = db->scalar("SELECT twice(?)", {Binding(withNul)});
    EXPECT_EQ(std::get<std::string>(*result), withNul + withNul);
}

TEST(FunctionTest, ArgumentCountsAreSeparateEntries)
{
    auto db = memoryDatabase();
    db->createFunction("f", 1u, false, [](const std::vector<OptBinding>&) -> OptBinding { return Binding(std::int64_t{1}); });
    db->createFunction("f", 2u, false, [](const std::vector<OptBinding>&) -> OptBinding { return Binding(std::int64_t{2}); });
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT f(0)")), 1);
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT f(0, 0)")), 2);
    // The same name and count replaces the earlier function.
    db->createFunction("F", 1u, false, [](const std::vector<OptBinding>&) -> OptBinding { return Binding(std::int64_t{3}); });
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT f(0)")), 3);
    EXPECT_THROW(db->scalar("SELECT f(0, 0, 0)"), Result);
}

TEST(FunctionTest, ThrowingCallbackFailsTheStatement)
{
    auto db = memoryDatabase();
    db->createFunction("boom", 0u, false, [](const std::vector<OptBinding>&) -> OptBinding {
        throw std::runtime_error("callback refused");
    });
    try {
        db->scalar("SELECT boom()");
        FAIL() << "no error";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "callback refused (code: 1)");
    }
}

TEST(FunctionTest, RefusedRegistrationThrows)
{
    auto db = memoryDatabase();
    auto identity = [](const std::vector<OptBinding>& args) -> OptBinding { return args[0]; };
    // The engine takes at most 127 arguments.
    try {
        db->createFunction("many", 1000u, false, identity);
        FAIL() << "the engine took 1000 arguments";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 21); // SQLITE_MISUSE
    }
    EXPECT_THROW(db->createAggregation<std::int64_t>(
                     "agg", 4000000000u, false, 0,
                     [](std::int64_t s, const std::vector<OptBinding>&) { return s; },
                     [](std::int64_t s) -> OptBinding { return Binding(s); }),
                 Result);
    // A function cannot be replaced while a statement using it is running.
    db->createFunction("busy", 1u, false, identity);
    auto running = db->prepare("SELECT busy(value) FROM (SELECT 1 AS value UNION ALL SELECT 2)");
    ASSERT_TRUE(running->step());
    EXPECT_THROW(db->createFunction("busy", 1u, false, identity), Result);
    ASSERT_TRUE(running->step());
    EXPECT_EQ(std::get<std::int64_t>(*running->row()[0]), 2);
}

TEST(AggregateTest, ValueStatePerGroupAndEmptyInput)
{
    auto db = memoryDatabase();
    db->createAggregation<std::vector<std::string>>(
        "joined", 1u, true, std::vector<std::string>{"<"},
        [](std::vector<std::string> state, const std::vector<OptBinding>& args) {
            state.push_back(std::get<std::string>(*args[0]));
            return state;
        },
        [](std::vector<std::string> state) -> OptBinding {
            std::string out;
            for (const auto& piece : state)
                out += piece;
            return Binding(out);
        });
    db->execute("CREATE TABLE t (g, v); INSERT INTO t VALUES (1, 'a'), (1, 'b'), (2, 'c')");
    auto statement = db->prepare("SELECT g, joined(v) FROM t GROUP BY g ORDER BY g");
    std::vector<std::string> results;
    for (const auto& row : *statement)
        results.push_back(std::get<std::string>(*row[1]));
    EXPECT_EQ(results, (std::vector<std::string>{"<ab", "<c"}));
    // Over no rows the result is that of the initial state, and nothing crashes.
    db->execute("CREATE TABLE empty (v)");
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT joined(v) FROM empty")), "<");
}

TEST(AggregateTest, SharedStateCarriesOverBetweenGroups)
{
    struct Counter {
        std::int64_t rows = 0;
    };
    auto db = memoryDatabase();
    auto initial = std::make_shared<Counter>();
    db->createAggregation<std::shared_ptr<Counter>>(
        "counted", 1u, false, initial,
        [](std::shared_ptr<Counter> state, const std::vector<OptBinding>&) {
            ++state->rows;
            return state;
        },
        [](std::shared_ptr<Counter> state) -> OptBinding { return Binding(state->rows); });
    db->execute("CREATE TABLE t (g); INSERT INTO t VALUES (1), (1), (2)");
    auto statement = db->prepare("SELECT counted(g) FROM t GROUP BY g ORDER BY g");
    std::vector<std::int64_t> results;
    for (const auto& row : *statement)
        results.push_back(std::get<std::int64_t>(*row[0]));
    // Every group starts from the one initial object, so the count runs on.
    EXPECT_EQ(results, (std::vector<std::int64_t>{2, 3}));
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT counted(g) FROM t")), 6);
    EXPECT_EQ(initial->rows, 6);
}

TEST(AggregateTest, ThrowingReduceFailsTheStatement)
{
    auto db = memoryDatabase();
    db->createAggregation<std::int64_t>(
        "picky", 1u, false, 0,
        [](std::int64_t state, const std::vector<OptBinding>& args) -> std::int64_t {
            if (!args[0])
                throw std::runtime_error("NULL not allowed");
            return state + 1;
        },
        [](std::int64_t state) -> OptBinding { return Binding(state); });
    db->execute("CREATE TABLE t (v); INSERT INTO t VALUES (1), (NULL)");
    try {
        db->scalar("SELECT picky(v) FROM t");
        FAIL() << "no error";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "NULL not allowed (code: 1)");
    }
}

TEST(CollationTest, ComparatorOrdersAndSeesExactLengths)
{
    auto db = memoryDatabase();
    std::vector<std::pair<std::string, std::string>> calls;
    db->createCollation("byLength", [&](const std::string& a, const std::string& b) {
        calls.emplace_back(a, b);
        if (a.size() != b.size())
            return a.size() < b.size() ? Connection::Ordering::ascending : Connection::Ordering::descending;
        return Connection::Ordering::same;
    });
    db->execute("CREATE TABLE t (v); INSERT INTO t VALUES ('ccc'), ('a'), ('bb')");
    std::vector<std::string> order;
    auto statement = db->prepare("SELECT v FROM t ORDER BY v COLLATE byLength");
    for (const auto& row : *statement)
        order.push_back(std::get<std::string>(*row[0]));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "bb", "ccc"}));
    ASSERT_FALSE(calls.empty());
    for (const auto& [a, b] : calls) {
        EXPECT_TRUE(a == "a" || a == "bb" || a == "ccc") << a;
        EXPECT_TRUE(b == "a" || b == "bb" || b == "ccc") << b;
    }
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT 'xy' = 'ab' COLLATE byLength")), 1);
}

TEST(CollationTest, RefusedRegistrationThrows)
{
    auto db = memoryDatabase();
    auto same = [](const std::string&, const std::string&) { return Connection::Ordering::same; };
    db->createCollation("c", same);
    auto running = db->prepare("SELECT v FROM (SELECT 'a' AS v UNION ALL SELECT 'b') ORDER BY v COLLATE c");
    ASSERT_TRUE(running->step());
    EXPECT_THROW(db->createCollation("c", same), Result);
}

TEST(FunctionTest, DeterministicFlagReachesTheEngine)
{
    auto db = memoryDatabase();
    auto identity = [](const std::vector<OptBinding>& args) -> OptBinding { return args[0]; };
    db->createFunction("same", 1u, true, identity);
    db->createFunction("whatever", 1u, false, identity);
    db->execute("CREATE TABLE t (a)");
    // Only deterministic functions may appear in an index expression.
    EXPECT_NO_THROW(db->execute("CREATE INDEX by_same ON t (same(a))"));
    try {
        db->execute("CREATE INDEX by_whatever ON t (whatever(a))");
        FAIL() << "a non-deterministic function was taken into an index";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "non-deterministic functions prohibited in index expressions (code: 1)");
    }
}

TEST(CollationTest, ThrowingComparatorIsLoggedAndCountsAsSame)
{
    auto db = memoryDatabase();
    db->createCollation("broken", [](const std::string&, const std::string&) -> Connection::Ordering {
        throw std::runtime_error("cannot compare");
    });
    std::vector<std::string> lines;
    auto previous = setErrorLogSink([&](const std::string& line) { lines.push_back(line); });
    OptBinding equal = db->scalar("SELECT 'a' = 'b' COLLATE broken");
    setErrorLogSink(previous);
    EXPECT_EQ(std::get<std::int64_t>(*equal), 1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "collation callback failed: cannot compare");
}
