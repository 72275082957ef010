// The rendered texts run on a real SQLite database: they compile, bind positionally and do what they
// say. Uses the SQLite C interface directly so these checks stand on their own.

#include "sql/Query.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace velquine::sql;

namespace {

class Db {
public:
    Db() { sqlite3_open(":memory:", &db_); }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << " in " << sql;
    }

    // Runs the statement to completion and returns its rows, each value as text ("NULL" for NULL).
    template <Expressible E> std::vector<std::vector<std::string>> run(const E& statement)
    {
        const Expression<void> e = toExpression(statement);
        std::vector<std::vector<std::string>> rows;
        sqlite3_stmt* st = nullptr;
        const int prepared = sqlite3_prepare_v2(db_, e.templ.c_str(), -1, &st, nullptr);
        EXPECT_EQ(prepared, SQLITE_OK) << sqlite3_errmsg(db_) << " in " << e.templ;
        if (prepared != SQLITE_OK)
            return rows;
        EXPECT_EQ(sqlite3_bind_parameter_count(st), static_cast<int>(e.bindings.size())) << e.templ;
        for (std::size_t i = 0; i < e.bindings.size(); ++i)
            bind(st, static_cast<int>(i + 1), e.bindings[i]);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_NULL)
                    row.push_back("NULL");
                else
                    row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                     static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
            }
            rows.push_back(row);
        }
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_) << " in " << e.templ;
        sqlite3_finalize(st);
        return rows;
    }

    std::vector<std::vector<std::string>> query(const std::string& sql) { return run(Expression<void>(sql, {})); }

private:
    static void bind(sqlite3_stmt* st, int index, const OptBinding& b)
    {
        if (!b) {
            sqlite3_bind_null(st, index);
        } else if (auto i = std::get_if<std::int64_t>(&*b)) {
            sqlite3_bind_int64(st, index, *i);
        } else if (auto d = std::get_if<double>(&*b)) {
            sqlite3_bind_double(st, index, *d);
        } else if (auto s = std::get_if<std::string>(&*b)) {
            sqlite3_bind_text64(st, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (auto blob = std::get_if<Blob>(&*b)) {
            if (blob->empty())
                sqlite3_bind_zeroblob(st, index, 0);
            else
                sqlite3_bind_blob64(st, index, blob->bytes.data(), blob->bytes.size(), SQLITE_TRANSIENT);
        }
    }

    sqlite3* db_ = nullptr;
};

using Rows = std::vector<std::vector<std::string>>;

const Table people("people");
const Expression<std::int64_t> id("id");
const Expression<std::string> name("name");
const Expression<std::optional<std::int64_t>> boss("boss");
const Expression<double> score("score");

void fill(Db& db)
{
    db.exec("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT UNIQUE, boss INTEGER, score REAL)");
    db.run(people.insertMany({{set(id, 1), set(name, "ann"), set(boss, std::nullopt), set(score, 1.5)},
                              {set(id, 2), set(name, "bob"), set(boss, 1), set(score, 2.5)},
                              {set(id, 3), set(name, "cy"), set(boss, 1), set(score, 0.5)}}));
}

} // namespace

TEST(SqlRendered, SelectsWithJoinsFiltersGroupsAndUnions)
{
    Db db;
    fill(db);
    EXPECT_EQ(db.run(people.select(name).filter(boss == std::nullopt).expression()), (Rows{{"ann"}}));
    EXPECT_EQ(db.run(people.select(name).filter(boss != std::nullopt).order(desc(name)).expression()),
              (Rows{{"cy"}, {"bob"}}));
    const Table bosses = Table("people").alias("b");
    const auto joined = people.select(people[name], bosses[name])
                            .join(JoinType::leftOuter, bosses, bosses[id] == people[boss])
                            .order(people[id]);
    EXPECT_EQ(db.run(joined.expression()), (Rows{{"ann", "NULL"}, {"bob", "ann"}, {"cy", "ann"}}));
    EXPECT_EQ(db.run(people.select(boss, literal("count(*)")).group({boss}, boss > 0).expression()), (Rows{{"1", "2"}}));
    EXPECT_EQ(db.run(people.select(name).filter(id == 1).unionAll(people.select(name).filter(id == 3)).order(name).expression()),
              (Rows{{"ann"}, {"cy"}}));
    EXPECT_EQ(db.run(people.select(name).order(id).limit(1, 1).expression()), (Rows{{"bob"}}));
    EXPECT_EQ(db.run(people.filter(inRange(HalfOpen{1.0, 2.5}, score)).count().expression()), (Rows{{"1"}}));
    EXPECT_EQ(db.run(people.filter(inRange(ClosedRange{1.0, 2.5}, score)).count().expression()), (Rows{{"2"}}));
    EXPECT_EQ(db.run(people.filter(id == 2).exists()), (Rows{{"1"}}));
}

TEST(SqlRendered, CommonTableExpressions)
{
    Db db;
    fill(db);
    const Table chain("chain");
    const Expression<std::int64_t> n("n");
    // WITH RECURSIVE "chain" ("n") AS (SELECT 1 ... UNION ALL SELECT n + 1 FROM chain WHERE n < 4)
    const auto seed = Table("people").select(literal("1")).filter(id == 1);
    const auto step = chain.select(n + 1).filter(n < 4);
    const auto counted = chain.with(chain, seed.unionAll(step), std::vector<Expression<void>>{n}, true).select(n);
    EXPECT_EQ(db.run(counted.expression()), (Rows{{"1"}, {"2"}, {"3"}, {"4"}}));
}

TEST(SqlRendered, InsertUpdateDeleteUpsert)
{
    Db db;
    fill(db);
    db.run(people.insert(OnConflict::replace, set(id, 2), set(name, "bea"), set(score, 9.0)));
    EXPECT_EQ(db.query("SELECT name, boss FROM people WHERE id = 2"), (Rows{{"bea", "NULL"}}));
    db.run(people.insert(OnConflict::ignore, set(id, 2), set(name, "zed")));
    EXPECT_EQ(db.query("SELECT name FROM people WHERE id = 2"), (Rows{{"bea"}}));
    db.run(people.upsert({set(id, 3), set(name, "cyd"), set(score, 7.0)}, id));
    EXPECT_EQ(db.query("SELECT name, score FROM people WHERE id = 3"), (Rows{{"cyd", "7.0"}}));
    db.run(people.upsert({set(id, 1), set(name, "x")}, id, {concatAssign(name, "!")}));
    EXPECT_EQ(db.query("SELECT name FROM people WHERE id = 1"), (Rows{{"ann!"}}));
    db.run(people.filter(id == 1).update(addAssign(score, 1.0), set(boss, 5)));
    EXPECT_EQ(db.query("SELECT score, boss FROM people WHERE id = 1"), (Rows{{"2.5", "5"}}));
    db.run(people.filter(boss == std::nullopt).delete_());
    EXPECT_EQ(db.query("SELECT id FROM people ORDER BY id"), (Rows{{"1"}, {"3"}}));
    db.run(Table("people").insert());
    EXPECT_EQ(db.query("SELECT count(*) FROM people"), (Rows{{"3"}}));
    db.exec("CREATE TABLE names (name TEXT)");
    db.run(Table("names").insert(people.select(name).filter(Expression<std::optional<std::string>>("name") != std::nullopt)));
    EXPECT_EQ(db.query("SELECT name FROM names ORDER BY name"), (Rows{{"ann!"}, {"cyd"}}));
}

TEST(SqlRendered, QuotedNamesCannotEscape)
{
    Db db;
    // A quote followed by a combining mark stays inside the quoted name.
    const std::string evil = "t\"\xCC\x81 (x); DROP TABLE keep; --";
    db.exec("CREATE TABLE keep (x)");
    const Table t(evil);
    db.exec("CREATE TABLE " + quote(evil) + " (" + quote("why?") + " INTEGER)");
    const Expression<std::int64_t> why("why?");
    db.run(t.insert(set(why, 4)));
    EXPECT_EQ(db.run(t.select(why).filter(why == 4).expression()), (Rows{{"4"}}));
    EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_schema WHERE name = 'keep'"), (Rows{{"1"}}));
    // The inline form of the same statement is valid SQL with the same result.
    const std::string inlined = t.select(why).filter(why == 4).filter(Expression<std::string>::literal("'lit?'") != "a'?\xCC\x81").expression().description();
    EXPECT_EQ(inlined, "SELECT \"why?\" FROM " + quote(evil) + " WHERE ((\"why?\" = 4) AND ('lit?' != 'a''?\xCC\x81'))");
    EXPECT_EQ(db.query(inlined), (Rows{{"4"}}));
}

TEST(SqlRendered, InlineLiteralsReadBackAsTheSameValues)
{
    Db db;
    const Expression<void> e("SELECT ?, ?, ?, ?, ?, ?, typeof(?), ?",
                             {Binding(std::string("it's")), Binding(0.1), Binding(1e16), Binding(1e-5), std::nullopt,
                              Binding(Blob{0, 15, 255}), Binding(Blob{}), Binding(1.0 / 0.0)});
    const Rows bound = db.run(e);
    const Rows inlined = db.query(e.description());
    EXPECT_EQ(inlined, bound);
    EXPECT_EQ(inlined, (Rows{{"it's", "0.1", "1.0e+16", "1.0e-05", "NULL", std::string("\x00\x0f\xff", 3), "blob", "Inf"}}));
}
