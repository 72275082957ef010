#include "EngineRun.h"

#include "sql/DateFunctions.h"
#include "sql/Query.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

using namespace velquine::sql;
using namespace enginerun;

namespace {

std::vector<OptBinding> values(std::initializer_list<OptBinding> list)
{
    return list;
}

Date instant(int year, unsigned month, unsigned day, int hours = 0, int minutes = 0, int seconds = 0, int millis = 0)
{
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day)) + hours * 1h
        + minutes * 1min + std::chrono::seconds(seconds) + milliseconds(millis);
}

// Sets TZ for the life of the object.
class ZoneOverride {
public:
    explicit ZoneOverride(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneOverride()
    {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

} // namespace

TEST(DateFunctionTest, StaticBuildersBindTheTexts)
{
    auto d = DateFunctions::date("now");
    EXPECT_EQ(d.templ, "date(?)");
    EXPECT_EQ(d.bindings, values({text("now")}));
    auto dm = DateFunctions::date("now", {"start of month", "+1 day"});
    EXPECT_EQ(dm.templ, "date(?, ?, ?)");
    EXPECT_EQ(dm.bindings, values({text("now"), text("start of month"), text("+1 day")}));
    EXPECT_EQ(DateFunctions::time("12:00", {"+90 minutes"}).templ, "time(?, ?)");
    EXPECT_EQ(DateFunctions::datetime("2021-03-04").templ, "datetime(?)");
    Expression<std::optional<double>> j = DateFunctions::julianday("2000-01-01", {"+1 day", "-2 hours"});
    EXPECT_EQ(j.templ, "julianday(?, ?, ?)");
    auto s = DateFunctions::strftime("%Y", "now");
    EXPECT_EQ(s.templ, "strftime(?, ?)");
    EXPECT_EQ(s.bindings, values({text("%Y"), text("now")}));
    auto sm = DateFunctions::strftime("%Y", "now", {"+1 year"});
    EXPECT_EQ(sm.templ, "strftime(?, ?, ?)");
    EXPECT_EQ(sm.bindings, values({text("%Y"), text("now"), text("+1 year")}));
}

TEST(DateFunctionTest, DateValuesAreRenderedInUtc)
{
    ZoneOverride zone("America/Los_Angeles");
    const Date y2k = instant(2000, 1, 1);
    auto dt = datetime(y2k);
    EXPECT_EQ(dt.templ, "datetime(?)");
    EXPECT_EQ(dt.bindings, values({text("2000-01-01T00:00:00.000")}));
    EXPECT_EQ(date(y2k).templ, "date(?)");
    EXPECT_EQ(time(y2k).templ, "time(?)");
    EXPECT_EQ(julianday(y2k).templ, "julianday(?)");
    EXPECT_EQ(julianday(y2k).bindings, values({text("2000-01-01T00:00:00.000")}));
}

TEST(DateFunctionTest, DateExpressionsKeepTheirValues)
{
    const Expression<Date> created("created");
    EXPECT_EQ(julianday(created).templ, "julianday(\"created\")");
    EXPECT_TRUE(julianday(created).bindings.empty());
    EXPECT_EQ(date(created).templ, "date(\"created\")");
    EXPECT_EQ(time(Expression<std::optional<Date>>("changed")).templ, "time(\"changed\")");
    auto bound = datetime(value(instant(2021, 2, 3, 4, 5, 6, 789)));
    EXPECT_EQ(bound.templ, "datetime(?)");
    EXPECT_EQ(bound.bindings, values({text("2021-02-03T04:05:06.789")}));
}

TEST(DateFunctionTest, EngineResults)
{
    auto db = memoryDatabase();
    EXPECT_EQ(evaluate(*db, DateFunctions::date("2021-03-15", {"start of month", "+1 day"})), text("2021-03-02"));
    EXPECT_EQ(evaluate(*db, DateFunctions::time("12:00:00", {"+90 minutes"})), text("13:30:00"));
    EXPECT_EQ(evaluate(*db, DateFunctions::datetime("2021-12-31 23:00:00", {"+2 hours"})), text("2022-01-01 01:00:00"));
    EXPECT_EQ(evaluate(*db, DateFunctions::julianday("2000-01-01 12:00:00")), real(2451545.0));
    EXPECT_EQ(evaluate(*db, DateFunctions::strftime("%Y/%m/%d %H", "2021-07-04 09:30:00", {"+1 day"})), text("2021/07/05 09"));
    // Input the engine cannot read gives NULL.
    EXPECT_EQ(evaluate(*db, DateFunctions::date("not a date")), OptBinding());
    EXPECT_EQ(evaluate(*db, DateFunctions::date("2021-01-01", {"+1 fortnight"})), OptBinding());
    // "now" is read by the engine, not written into the text.
    EXPECT_TRUE(std::holds_alternative<std::string>(*evaluate(*db, DateFunctions::date("now"))));

    const Date moment = instant(2021, 2, 3, 4, 5, 6, 789);
    EXPECT_EQ(evaluate(*db, date(moment)), text("2021-02-03"));
    EXPECT_EQ(evaluate(*db, time(moment)), text("04:05:06"));
    EXPECT_EQ(evaluate(*db, datetime(moment)), text("2021-02-03 04:05:06"));
    EXPECT_EQ(evaluate(*db, julianday(instant(2000, 1, 1, 12))), real(2451545.0));

    // On a stored date column.
    db->execute("CREATE TABLE events (created TEXT)");
    db->run("INSERT INTO events VALUES (?)", {toBinding(moment)});
    const Expression<Date> created("created");
    auto read = db->scalar(Table("events").select(datetime(created)));
    EXPECT_EQ(read, std::optional<std::string>("2021-02-03 04:05:06"));
    auto day = db->scalar(Table("events").select(julianday(created)));
    ASSERT_TRUE(day);
    EXPECT_NEAR(*day, 2459248.670217465, 1e-8);
}
