#include "EngineRun.h"

#include "sql/Query.h"
#include "sql/WindowFunctions.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using namespace enginerun;

namespace {

const Expression<std::string> name("name");
const Expression<std::int64_t> points("points");
const Expression<std::optional<std::string>> nick("nick");

std::vector<OptBinding> values(std::initializer_list<OptBinding> list)
{
    return list;
}

} // namespace

TEST(WindowFunctionTest, RawValuesInDeclarationOrder)
{
    const std::vector<std::string> expected{"ntile", "row_number", "rank",        "dense_rank", "percent_rank", "cume_dist",
                                            "lag",   "lead",       "first_value", "last_value", "nth_value"};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rawValue(static_cast<WindowFunction>(i)), expected[i]);
}

TEST(WindowFunctionTest, Texts)
{
    Expression<std::int64_t> rn = rowNumber(desc(points));
    EXPECT_EQ(rn.templ, "row_number() OVER (ORDER BY \"points\" DESC)");
    EXPECT_TRUE(rn.bindings.empty());

    Expression<std::int64_t> nt = ntile(4, points);
    EXPECT_EQ(nt.templ, "ntile(?) OVER (ORDER BY \"points\")");
    EXPECT_EQ(nt.bindings, values({integer(4)}));
    // The ordering term's values follow the function's own.
    const Expression<std::int64_t> shifted("(\"points\" + ?)", {integer(10)});
    EXPECT_EQ(ntile(2, shifted).bindings, values({integer(2), integer(10)}));

    Expression<std::int64_t> rk = rank(asc(points));
    EXPECT_EQ(rk.templ, "rank() OVER (ORDER BY \"points\" ASC)");
    Expression<std::int64_t> dr = denseRank(points);
    EXPECT_EQ(dr.templ, "dense_rank() OVER (ORDER BY \"points\")");
    Expression<double> pr = percentRank(points);
    EXPECT_EQ(pr.templ, "percent_rank() OVER (ORDER BY \"points\")");
    Expression<double> cd = cumeDist(points);
    EXPECT_EQ(cd.templ, "cume_dist() OVER (ORDER BY \"points\")");

    Expression<std::optional<std::string>> fv = firstValue(nick, points);
    EXPECT_EQ(fv.templ, "first_value(\"nick\") OVER (ORDER BY \"points\")");
    Expression<std::string> lv = lastValue(value(std::string("x")), shifted);
    EXPECT_EQ(lv.templ, "last_value(?) OVER (ORDER BY (\"points\" + ?))");
    EXPECT_EQ(lv.bindings, values({text("x"), integer(10)}));

    Expression<std::string> nv = nthValue(name, 3, points);
    EXPECT_EQ(nv.templ, "nth_value(\"name\", 3) OVER (ORDER BY \"points\")");
    EXPECT_TRUE(nv.bindings.empty());

    Expression<std::string> lg = lag(name, 1, points);
    EXPECT_EQ(lg.templ, "lag(\"name\", 1) OVER (ORDER BY \"points\")");
    EXPECT_EQ(lag(name, points).templ, "lag(\"name\", 1) OVER (ORDER BY \"points\")");
    // The default stands in the text as a literal and adds no value.
    Expression<std::string> lgd = lag(value(std::string("r")), 2, value(std::string("it's")), shifted);
    EXPECT_EQ(lgd.templ, "lag(?, 2, 'it''s') OVER (ORDER BY (\"points\" + ?))");
    EXPECT_EQ(lgd.bindings, values({text("r"), integer(10)}));
    EXPECT_EQ(lead(points, -1, points).templ, "lead(\"points\", -1) OVER (ORDER BY \"points\")");
    EXPECT_EQ(lead(points, points).templ, "lead(\"points\", 1) OVER (ORDER BY \"points\")");
    EXPECT_EQ(lead(points, 2, value(std::optional<std::int64_t>()), points).templ,
              "lead(\"points\", 2, NULL) OVER (ORDER BY \"points\")");
    EXPECT_EQ(lead(points, 1, value(2.5), desc(points)).templ,
              "lead(\"points\", 1, 2.5) OVER (ORDER BY \"points\" DESC)");
}

TEST(WindowFunctionTest, EngineResultsOverASmallTable)
{
    auto db = memoryDatabase();
    db->execute("CREATE TABLE players (name TEXT, points INTEGER, nick TEXT);"
                "INSERT INTO players VALUES ('ann', 30, 'a'), ('bob', 10, NULL), ('cid', 20, 'c'), ('dee', 20, 'd'),"
                " ('eve', 40, 'e');");
    const auto ordered = asc(name);
    auto column = [&](const Expression<void>& e) {
        std::vector<OptBinding> out;
        for (const auto& row : rows(*db, Table("players").select(std::vector<Expression<void>>{e}).order(ordered).expression()))
            out.push_back(row[0]);
        return out;
    };
    // Rows in name order: ann 30, bob 10, cid 20, dee 20, eve 40.
    EXPECT_EQ(column(rowNumber(desc(points))), values({integer(2), integer(5), integer(3), integer(4), integer(1)}));
    EXPECT_EQ(column(rank(points)), values({integer(4), integer(1), integer(2), integer(2), integer(5)}));
    EXPECT_EQ(column(denseRank(points)), values({integer(3), integer(1), integer(2), integer(2), integer(4)}));
    EXPECT_EQ(column(percentRank(points)), values({real(0.75), real(0.0), real(0.25), real(0.25), real(1.0)}));
    EXPECT_EQ(column(cumeDist(points)), values({real(0.8), real(0.2), real(0.6), real(0.6), real(1.0)}));
    EXPECT_EQ(column(ntile(2, name)), values({integer(1), integer(1), integer(1), integer(2), integer(2)}));
    EXPECT_EQ(column(firstValue(name, desc(points))), values({text("eve"), text("eve"), text("eve"), text("eve"), text("eve")}));
    // The default frame ends at the current row's last peer.
    EXPECT_EQ(column(lastValue(name, name)), values({text("ann"), text("bob"), text("cid"), text("dee"), text("eve")}));
    EXPECT_EQ(column(nthValue(name, 2, name)), values({OptBinding(), text("bob"), text("bob"), text("bob"), text("bob")}));
    EXPECT_EQ(column(lag(points, name)), values({OptBinding(), integer(30), integer(10), integer(20), integer(20)}));
    EXPECT_EQ(column(lag(points, 2, value(std::int64_t{-1}), name)),
              values({integer(-1), integer(-1), integer(30), integer(10), integer(20)}));
    EXPECT_EQ(column(lead(name, 1, value(std::string("end's")), name)),
              values({text("bob"), text("cid"), text("dee"), text("eve"), text("end's")}));
    EXPECT_EQ(column(lead(nick, 3, name)), values({text("d"), text("e"), OptBinding(), OptBinding(), OptBinding()}));

    // Values the engine refuses are reported when the statement runs.
    EXPECT_THROW(column(ntile(0, name)), Result);
    EXPECT_THROW(column(nthValue(name, 0, name)), Result);
}
