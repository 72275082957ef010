#include "EngineRun.h"

#include "sql/AggregateFunctions.h"
#include "sql/Query.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using namespace enginerun;

namespace {

const Expression<std::int64_t> score("score");
const Expression<std::optional<std::int64_t>> bonus("bonus");
const Expression<double> weight("weight");
const Expression<std::optional<std::string>> tag("tag");
const Expression<std::string> team("team");

class AggregateFunctionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = memoryDatabase();
        db->execute("CREATE TABLE scores (team TEXT, score INTEGER, bonus INTEGER, weight REAL, tag TEXT);"
                    "INSERT INTO scores VALUES ('red', 3, NULL, 1.5, 'a'), ('red', 5, 2, 2.5, 'a'),"
                    " ('blue', 5, NULL, 0.5, NULL), ('blue', 1, 4, 1.0, 'b');");
    }

    OptBinding one(const Expression<void>& e, std::optional<Expression<bool>> filter = std::nullopt)
    {
        Table t("scores");
        if (filter)
            return db->scalar(t.filter(*filter).select(std::vector<Expression<void>>{e}).expression().templ,
                              t.filter(*filter).select(std::vector<Expression<void>>{e}).expression().bindings);
        return db->scalar(t.select(std::vector<Expression<void>>{e}).expression().templ,
                          t.select(std::vector<Expression<void>>{e}).expression().bindings);
    }

    std::shared_ptr<Connection> db;
};

} // namespace

TEST_F(AggregateFunctionTest, TextsAndTypes)
{
    Expression<std::int64_t> d = distinct(score);
    EXPECT_EQ(d.templ, "DISTINCT \"score\"");
    Expression<std::int64_t> c = count(bonus);
    EXPECT_EQ(c.templ, "count(\"bonus\")");
    EXPECT_EQ(count(distinct(score)).templ, "count(DISTINCT \"score\")");
    Expression<std::int64_t> all = count(star);
    EXPECT_EQ(all.templ, "count(*)");
    EXPECT_TRUE(all.bindings.empty());

    Expression<std::optional<std::int64_t>> mx = max(score);
    EXPECT_EQ(mx.templ, "max(\"score\")");
    Expression<std::optional<std::int64_t>> mxo = max(bonus);
    EXPECT_EQ(mxo.templ, "max(\"bonus\")");
    Expression<std::optional<std::string>> mn = min(team);
    EXPECT_EQ(mn.templ, "min(\"team\")");
    Expression<std::optional<double>> av = avg(score);
    EXPECT_EQ(av.templ, "avg(\"score\")");
    Expression<std::optional<double>> sm = sum(weight);
    EXPECT_EQ(sm.templ, "sum(\"weight\")");
    Expression<std::optional<std::int64_t>> smo = sum(bonus);
    EXPECT_EQ(smo.templ, "sum(\"bonus\")");
    Expression<double> tt = total(bonus);
    EXPECT_EQ(tt.templ, "total(\"bonus\")");
    for (const auto& e : {max(distinct(score)), min(distinct(score)), sum(distinct(score))})
        EXPECT_NE(e.templ.find("(DISTINCT \"score\")"), std::string::npos) << e.templ;
    EXPECT_EQ(avg(distinct(score)).templ, "avg(DISTINCT \"score\")");
    EXPECT_EQ(total(distinct(score)).templ, "total(DISTINCT \"score\")");

    // A receiver's values stay in order inside the aggregate.
    Expression<std::int64_t> bound("(\"score\" + ? - ?)", {integer(1), integer(2)});
    EXPECT_EQ(sum(bound).templ, "sum((\"score\" + ? - ?))");
    EXPECT_EQ(sum(bound).bindings, (std::vector<OptBinding>{integer(1), integer(2)}));
    EXPECT_EQ(count(distinct(bound)).bindings, (std::vector<OptBinding>{integer(1), integer(2)}));
}

TEST_F(AggregateFunctionTest, EngineResults)
{
    EXPECT_EQ(one(count(star)), integer(4));
    // count(t) skips NULL values.
    EXPECT_EQ(one(count(bonus)), integer(2));
    EXPECT_EQ(one(count(tag)), integer(3));
    EXPECT_EQ(one(count(distinct(score))), integer(3));
    EXPECT_EQ(one(count(distinct(tag))), integer(2));
    EXPECT_EQ(one(max(score)), integer(5));
    EXPECT_EQ(one(min(score)), integer(1));
    EXPECT_EQ(one(min(team)), text("blue"));
    EXPECT_EQ(one(avg(score)), real(3.5));
    EXPECT_EQ(one(avg(distinct(score))), real(3.0));
    EXPECT_EQ(one(sum(score)), integer(14));
    EXPECT_EQ(one(sum(distinct(score))), integer(9));
    EXPECT_EQ(one(sum(weight)), real(5.5));
    EXPECT_EQ(one(total(bonus)), real(6.0));

    // Empty input: count gives 0, total 0.0, the others NULL.
    const Expression<bool> none = Expression<bool>::literal("0");
    EXPECT_EQ(one(count(star), none), integer(0));
    EXPECT_EQ(one(total(score), none), real(0.0));
    EXPECT_EQ(one(max(score), none), OptBinding());
    EXPECT_EQ(one(sum(score), none), OptBinding());
    EXPECT_EQ(one(avg(score), none), OptBinding());
    // max of a plain column on no rows reads as an absent optional through the typed layer.
    EXPECT_EQ(db->scalar(Table("scores").filter(none).select(max(score))), std::nullopt);
    EXPECT_EQ(db->scalar(Table("scores").select(max(score))), std::optional<std::int64_t>(5));

    // Grouped.
    auto grouped = rows(*db, Expression<void>("SELECT \"team\", " + sum(score).templ + ", " + count(bonus).templ
                                                  + " FROM \"scores\" GROUP BY \"team\" ORDER BY \"team\"",
                                              {}));
    ASSERT_EQ(grouped.size(), 2u);
    EXPECT_EQ(grouped[0], (std::vector<OptBinding>{text("blue"), integer(6), integer(1)}));
    EXPECT_EQ(grouped[1], (std::vector<OptBinding>{text("red"), integer(8), integer(1)}));
}
