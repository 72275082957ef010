#include "EngineRun.h"

#include "sql/Collation.h"
#include "sql/Query.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using namespace enginerun;

TEST(CollationTest, BuiltInNamesAreBareAndCustomNamesQuoted)
{
    EXPECT_EQ(Collation::binary.description(), "BINARY");
    EXPECT_EQ(Collation::nocase.description(), "NOCASE");
    EXPECT_EQ(Collation::rtrim.description(), "RTRIM");
    EXPECT_EQ(Collation::custom("nocase").description(), "\"nocase\"");
    EXPECT_EQ(Collation::custom("say \"hi\"").description(), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(Collation::custom("").description(), "\"\"");
    // The name is kept as given.
    EXPECT_EQ(Collation::custom("say \"hi\"").name(), "say \"hi\"");
    EXPECT_EQ(Collation::custom("x").kind(), Collation::Kind::custom);
    EXPECT_EQ(Collation::custom("x"), Collation::custom("x"));
    EXPECT_NE(Collation::custom("x"), Collation::custom("y"));
    EXPECT_NE(Collation::nocase, Collation::rtrim);
}

TEST(CollationTest, ExpressionHasTheNameAndNoValues)
{
    for (const Collation& c : {Collation::binary, Collation::nocase, Collation::rtrim, Collation::custom("a?")}) {
        Expression<void> e = toExpression(c);
        EXPECT_EQ(e.templ, c.description());
        EXPECT_TRUE(e.bindings.empty());
    }
}

TEST(CollationTest, CollateWrapsTheTextAndKeepsItsValues)
{
    const Expression<std::string> name("name");
    Expression<std::string> plain = collate(name, Collation::nocase);
    EXPECT_EQ(plain.templ, "(\"name\" COLLATE NOCASE)");
    EXPECT_TRUE(plain.bindings.empty());

    Expression<std::optional<std::string>> bound = collate(value(std::optional<std::string>("Ab")), Collation::custom("c"));
    EXPECT_EQ(bound.templ, "(? COLLATE \"c\")");
    ASSERT_EQ(bound.bindings.size(), 1u);
    EXPECT_EQ(std::get<std::string>(*bound.bindings[0]), "Ab");
}

TEST(CollationTest, CollationsOrderRowsOnTheEngine)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE words (w TEXT); INSERT INTO words VALUES ('b'), ('A'), ('a  '), ('C'), ('a');");
    const Expression<std::string> w("w");
    auto ordered = [&](const Collation& c) {
        std::vector<std::string> out;
        for (const auto& row : rows(*db, Table("words").select(w).order(collate(w, c), Expression<std::int64_t>("rowid")).expression()))
            out.push_back(std::get<std::string>(*row[0]));
        return out;
    };
    EXPECT_EQ(ordered(Collation::binary), (std::vector<std::string>{"A", "C", "a", "a  ", "b"}));
    EXPECT_EQ(ordered(Collation::nocase), (std::vector<std::string>{"A", "a", "a  ", "b", "C"}));
    // RTRIM ignores trailing blanks: "a  " ties with "a" and keeps its row order.
    EXPECT_EQ(ordered(Collation::rtrim), (std::vector<std::string>{"A", "C", "a  ", "a", "b"}));

    // A registered collation: by length, then binary.
    db->createCollation("by length", [](const std::string& a, const std::string& b) {
        if (a.size() != b.size())
            return a.size() < b.size() ? Connection::Ordering::ascending : Connection::Ordering::descending;
        if (a == b)
            return Connection::Ordering::same;
        return a < b ? Connection::Ordering::ascending : Connection::Ordering::descending;
    });
    EXPECT_EQ(ordered(Collation::custom("by length")), (std::vector<std::string>{"A", "C", "a", "b", "a  "}));

    // Equality under a collation.
    EXPECT_EQ(std::get<std::int64_t>(*evaluate(*db, infix(collate(value(std::string("ABC")), Collation::nocase), value(std::string("abc")), "="))), 1);
    EXPECT_EQ(std::get<std::int64_t>(*evaluate(*db, infix(collate(value(std::string("ABC")), Collation::binary), value(std::string("abc")), "="))), 0);

    // An unregistered name is reported by the engine.
    EXPECT_THROW(rows(*db, Table("words").select(w).order(collate(w, Collation::custom("missing"))).expression()), Result);
}
