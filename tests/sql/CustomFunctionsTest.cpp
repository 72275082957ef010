#include "EngineRun.h"

#include "sql/CustomFunctions.h"
#include "sql/DateFormatter.h"
#include "sql/Query.h"
#include "sql/Statement.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <chrono>

using namespace velquine::sql;
using namespace enginerun;

namespace {

const Expression<std::int64_t> n("n");
const Expression<std::optional<std::int64_t>> maybe("maybe");
const Expression<std::string> word("word");

std::string errorOf(Connection& db, const Expression<void>& e)
{
    try {
        evaluate(db, e);
    } catch (const Result& error) {
        return error.message();
    }
    return "no error";
}

// Whether the function of that name was registered with SQLite's deterministic flag.
bool registeredDeterministic(Connection& db, const std::string& name)
{
    auto flags = db.scalar("SELECT flags FROM pragma_function_list WHERE name = ?", {text(name)});
    return flags && (std::get<std::int64_t>(*flags) & SQLITE_DETERMINISTIC) != 0;
}

} // namespace

TEST(CustomFunctionTest, BuilderQuotesTheNameAndKeepsArgumentValues)
{
    auto db = memoryDatabase();
    auto myfn = createFunction(*db, "myfn", true, [](std::int64_t x) { return x + 1; });
    Expression<std::int64_t> onColumn = myfn(n);
    EXPECT_EQ(onColumn.templ, "\"myfn\"(\"n\")");
    EXPECT_TRUE(onColumn.bindings.empty());
    Expression<std::int64_t> onValue = myfn(value(std::int64_t{5}));
    EXPECT_EQ(onValue.templ, "\"myfn\"(?)");
    EXPECT_EQ(onValue.bindings, (std::vector<OptBinding>{integer(5)}));
    EXPECT_EQ(evaluate(*db, onValue), integer(6));

    auto pair = createFunction(*db, "pair", false, [](std::string a, std::int64_t b) { return a + std::to_string(b); });
    Expression<std::string> two = pair(value(std::string("a")), value(std::int64_t{2}));
    EXPECT_EQ(two.templ, "\"pair\"(?, ?)");
    EXPECT_EQ(two.bindings, (std::vector<OptBinding>{text("a"), integer(2)}));
    EXPECT_EQ(evaluate(*db, two), text("a2"));

    auto none = createFunction(*db, "the answer", true, []() { return std::int64_t{42}; });
    EXPECT_EQ(none().templ, "\"the answer\"()");
    EXPECT_EQ(evaluate(*db, none()), integer(42));

    auto quoted = createFunction(*db, "say\"hi", true, [](std::string s) { return "hi " + s; });
    EXPECT_EQ(quoted(word).templ, "\"say\"\"hi\"(\"word\")");
    EXPECT_EQ(evaluate(*db, quoted(value(std::string("you")))), text("hi you"));
    EXPECT_EQ(quoted.name(), "say\"hi");
}

TEST(CustomFunctionTest, AllFourteenFormsRunOnTheEngine)
{
    auto db = memoryDatabase();
    using I = std::int64_t;
    using OI = std::optional<std::int64_t>;
    const Expression<I> three = value(I{3});
    const Expression<OI> nullInt = value(OI());
    const Expression<OI> four = value(OI(4));

    // No parameters.
    auto f0 = createFunction(*db, "f0", true, []() { return I{1}; });
    auto f0o = createFunction(*db, "f0o", true, []() { return OI(); });
    EXPECT_EQ(evaluate(*db, f0()), integer(1));
    Expression<OI> f0oCall = f0o();
    EXPECT_EQ(evaluate(*db, f0oCall), OptBinding());

    // One parameter.
    auto a_z = createFunction(*db, "a_z", true, [](I a) { return a * 10; });
    auto ao_z = createFunction(*db, "ao_z", true, [](OI a) { return a ? *a : I{-1}; });
    auto a_zo = createFunction(*db, "a_zo", true, [](I a) { return a > 0 ? OI(a) : OI(); });
    auto ao_zo = createFunction(*db, "ao_zo", true, [](OI a) { return a; });
    EXPECT_EQ(evaluate(*db, a_z(three)), integer(30));
    EXPECT_EQ(evaluate(*db, ao_z(nullInt)), integer(-1));
    EXPECT_EQ(evaluate(*db, ao_z(four)), integer(4));
    EXPECT_EQ(evaluate(*db, a_zo(three)), integer(3));
    EXPECT_EQ(evaluate(*db, a_zo(value(I{-3}))), OptBinding());
    EXPECT_EQ(evaluate(*db, ao_zo(nullInt)), OptBinding());
    EXPECT_EQ(evaluate(*db, ao_zo(four)), integer(4));

    // Two parameters, every combination.
    auto sumOrNull = [](OI a, OI b) -> OI {
        if (!a || !b)
            return std::nullopt;
        return *a + *b;
    };
    auto ab_z = createFunction(*db, "ab_z", true, [](I a, I b) { return a - b; });
    auto aob_z = createFunction(*db, "aob_z", true, [](OI a, I b) { return a.value_or(100) - b; });
    auto abo_z = createFunction(*db, "abo_z", true, [](I a, OI b) { return a - b.value_or(100); });
    auto ab_zo = createFunction(*db, "ab_zo", true, [](I a, I b) { return a == b ? OI() : OI(a - b); });
    auto aobo_z = createFunction(*db, "aobo_z", true, [](OI a, OI b) { return a.value_or(0) + b.value_or(0); });
    auto aob_zo = createFunction(*db, "aob_zo", true, [=](OI a, I b) { return sumOrNull(a, b); });
    auto abo_zo = createFunction(*db, "abo_zo", true, [=](I a, OI b) { return sumOrNull(a, b); });
    auto aobo_zo = createFunction(*db, "aobo_zo", true, sumOrNull);
    // Arguments arrive in order.
    EXPECT_EQ(evaluate(*db, ab_z(value(I{10}), three)), integer(7));
    EXPECT_EQ(evaluate(*db, aob_z(nullInt, three)), integer(97));
    EXPECT_EQ(evaluate(*db, aob_z(four, three)), integer(1));
    EXPECT_EQ(evaluate(*db, abo_z(three, nullInt)), integer(-97));
    EXPECT_EQ(evaluate(*db, ab_zo(three, three)), OptBinding());
    EXPECT_EQ(evaluate(*db, ab_zo(three, value(I{1}))), integer(2));
    EXPECT_EQ(evaluate(*db, aobo_z(nullInt, nullInt)), integer(0));
    EXPECT_EQ(evaluate(*db, aobo_z(four, nullInt)), integer(4));
    EXPECT_EQ(evaluate(*db, aob_zo(nullInt, three)), OptBinding());
    EXPECT_EQ(evaluate(*db, abo_zo(three, four)), integer(7));
    EXPECT_EQ(evaluate(*db, aobo_zo(four, four)), integer(8));
    EXPECT_EQ(evaluate(*db, aobo_zo(four, nullInt)), OptBinding());

    // The builders' types follow the forms.
    Expression<I> t1 = aob_z(nullInt, three);
    Expression<OI> t2 = abo_zo(three, four);
    EXPECT_EQ(t1.templ, "\"aob_z\"(?, ?)");
    EXPECT_EQ(t2.templ, "\"abo_zo\"(?, ?)");
}

TEST(CustomFunctionTest, ValuesTravelInTheirStorageForm)
{
    auto db = memoryDatabase();
    auto shout = createFunction(*db, "shout", true, [](const std::string& s) { return s + "!"; });
    auto half = createFunction(*db, "half", true, [](double d) { return d / 2; });
    auto flip = createFunction(*db, "flip", true, [](bool b) { return !b; });
    auto bytes = createFunction(*db, "bytes", true, [](Blob b) { return std::int64_t(b.size()); });
    auto nextDay = createFunction(*db, "next_day", true, [](Date d) { return d + std::chrono::hours(24); });
    EXPECT_EQ(evaluate(*db, shout(value(std::string("hey")))), text("hey!"));
    EXPECT_EQ(evaluate(*db, half(value(3.0))), real(1.5));
    // A Bool is stored as an integer.
    EXPECT_EQ(evaluate(*db, flip(value(true))), integer(0));
    EXPECT_EQ(evaluate(*db, bytes(value(Blob{1, 2, 3}))), integer(3));
    EXPECT_EQ(evaluate(*db, bytes(value(Blob{}))), integer(0));
    // A date travels as its text.
    auto date = ValueTraits<Date>::fromDatatypeValue("2021-12-31T10:00:00.000");
    EXPECT_EQ(evaluate(*db, nextDay(value(date))), text("2022-01-01T10:00:00.000"));

    // Used inside a query over a table.
    db->execute("CREATE TABLE t (n INTEGER, word TEXT); INSERT INTO t VALUES (1, 'a'), (2, 'b');");
    auto twice = createFunction(*db, "twice", true, [](std::int64_t x) { return 2 * x; });
    std::vector<std::int64_t> got;
    for (const auto& row : rows(*db, Table("t").select(twice(n)).order(n).expression()))
        got.push_back(std::get<std::int64_t>(*row[0]));
    EXPECT_EQ(got, (std::vector<std::int64_t>{2, 4}));
    EXPECT_EQ(db->scalar(Table("t").select(shout(word)).filter(n == std::int64_t{2})), "b!");
}

TEST(CustomFunctionTest, BadArgumentsFailTheStatementWithoutRunningTheBlock)
{
    auto db = memoryDatabase();
    int runs = 0;
    auto f = createFunction(*db, "typed", false, [&](std::int64_t a, std::string b) {
        ++runs;
        return b + std::to_string(a);
    });
    const Expression<std::int64_t> nullAsInt = Expression<std::int64_t>("NULL", {});
    EXPECT_EQ(errorOf(*db, f(nullAsInt, value(std::string("x")))), "unexpected NULL for argument 1 of typed");
    EXPECT_EQ(errorOf(*db, f(value(std::int64_t{1}), Expression<std::string>("NULL", {}))),
              "unexpected NULL for argument 2 of typed");
    // No coercion between storage classes.
    EXPECT_EQ(errorOf(*db, f(retype<std::int64_t>(value(std::string("7"))), value(std::string("x")))),
              "wrong type for argument 1 of typed: expected INTEGER, got TEXT");
    EXPECT_EQ(errorOf(*db, f(value(std::int64_t{1}), retype<std::string>(value(2.5)))),
              "wrong type for argument 2 of typed: expected TEXT, got REAL");
    EXPECT_EQ(errorOf(*db, f(retype<std::int64_t>(value(Blob{1})), retype<std::string>(value(2.5)))),
              "wrong type for argument 1 of typed: expected INTEGER, got BLOB");
    EXPECT_EQ(runs, 0);

    // An optional parameter takes NULL but still checks the storage class of a value.
    auto g = createFunction(*db, "opt", false, [&](std::optional<double> d) {
        ++runs;
        return d.value_or(-1.0);
    });
    EXPECT_EQ(evaluate(*db, g(value(std::optional<double>()))), real(-1.0));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(errorOf(*db, g(retype<std::optional<double>>(value(std::int64_t{3})))),
              "wrong type for argument 1 of opt: expected REAL, got INTEGER");

    // A stored value the parameter type cannot take (a text that is no date) is reported too.
    auto h = createFunction(*db, "when", false, [](Date d) { return d; });
    EXPECT_NE(errorOf(*db, h(retype<Date>(value(std::string("yesterday"))))), "no error");

    // A NULL column value read by a plain parameter, inside a query.
    db->execute("CREATE TABLE t (n INTEGER); INSERT INTO t VALUES (1), (NULL);");
    auto inc = createFunction(*db, "inc", true, [](std::int64_t x) { return x + 1; });
    try {
        rows(*db, Table("t").select(inc(n)).expression());
        FAIL() << "NULL reached a plain parameter";
    } catch (const Result& error) {
        EXPECT_EQ(error.message(), "unexpected NULL for argument 1 of inc");
    }
    // The connection stays usable.
    EXPECT_EQ(evaluate(*db, inc(value(std::int64_t{1}))), integer(2));
}

TEST(CustomFunctionTest, RegistrationFlagsReplacementAndRefusal)
{
    auto db = memoryDatabase();
    createFunction(*db, "det", true, [](std::int64_t x) { return x; });
    createFunction(*db, "nondet", false, [](std::int64_t x) { return x; });
    EXPECT_TRUE(registeredDeterministic(*db, "det"));
    EXPECT_FALSE(registeredDeterministic(*db, "nondet"));
    // Only a deterministic function may stand in an index expression.
    db->execute("CREATE TABLE t (x INTEGER)");
    EXPECT_NO_THROW(db->execute("CREATE INDEX i1 ON t (det(x))"));
    EXPECT_THROW(db->execute("CREATE INDEX i2 ON t (nondet(x))"), Result);

    // Registering the same name and count again replaces the function; the count keeps forms apart.
    auto one = createFunction(*db, "same", true, [](std::int64_t) { return std::string("one"); });
    auto two = createFunction(*db, "same", true, [](std::int64_t, std::int64_t) { return std::string("two"); });
    EXPECT_EQ(evaluate(*db, one(value(std::int64_t{0}))), text("one"));
    EXPECT_EQ(evaluate(*db, two(value(std::int64_t{0}), value(std::int64_t{0}))), text("two"));
    auto again = createFunction(*db, "same", true, [](std::int64_t) { return std::string("again"); });
    EXPECT_EQ(evaluate(*db, one(value(std::int64_t{0}))), text("again"));
    EXPECT_EQ(again.name(), "same");

    // A name longer than 255 bytes is refused by the engine.
    try {
        createFunction(*db, std::string(300, 'f'), true, []() { return std::int64_t{0}; });
        FAIL() << "an over-long name was taken";
    } catch (const Result& error) {
        EXPECT_EQ(error.message().rfind("Error creating function: ", 0), 0u) << error.message();
        EXPECT_GT(error.message().size(), std::string("Error creating function: ").size());
        EXPECT_EQ(error.code(), SQLITE_MISUSE);
    }

    // The builder outlives the connection; its text does not need one.
    auto builder = createFunction(*db, "late", true, [](std::int64_t x) { return x; });
    db.reset();
    EXPECT_EQ(builder(n).templ, "\"late\"(\"n\")");
}
