#include "sql/Connection.h"
#include "sql/Operators.h"
#include "sql/RowDecoder.h"
#include "sql/RowEncoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace velquine::sql;

namespace {

enum class Colour { red, green, blue };

Date at(std::int64_t millisecondsSince1970)
{
    return Date(std::chrono::milliseconds(millisecondsSince1970));
}

UUID uuid(const char* text)
{
    return *UUID::fromString(text);
}

struct Event {
    Date when{};
    UUID who;
    std::vector<std::uint8_t> payload;
    std::optional<float> level;
    std::uint8_t priority = 0;
    std::map<std::string, std::vector<double>> series;
    friend bool operator==(const Event&, const Event&) = default;
    static auto rowFields()
    {
        return std::tuple{field("when", &Event::when), field("who", &Event::who), field("payload", &Event::payload),
                          field("level", &Event::level), field("priority", &Event::priority),
                          field("series", &Event::series)};
    }
};

struct Record {
    std::int64_t id = 0;
    int count = 0;
    bool flag = false;
    double ratio = 0;
    float weight = 0;
    std::string name;
    std::vector<std::uint8_t> data;
    Blob blob;
    Date created{};
    UUID key;
    std::optional<std::string> note;
    std::optional<double> score;
    std::optional<Date> seen;
    std::optional<UUID> ref;
    std::optional<std::vector<std::uint8_t>> thumbnail;
    std::optional<bool> done;
    Event event;
    std::optional<Event> followUp;
    std::vector<Event> history;
    Colour colour = Colour::red;
    std::optional<Colour> accent;
    friend bool operator==(const Record&, const Record&) = default;
    static auto rowFields()
    {
        return std::tuple{field("id", &Record::id),         field("count", &Record::count),
                          field("flag", &Record::flag),     field("ratio", &Record::ratio),
                          field("weight", &Record::weight), field("name", &Record::name),
                          field("data", &Record::data),     field("blob", &Record::blob),
                          field("created", &Record::created), field("key", &Record::key),
                          field("note", &Record::note),     field("score", &Record::score),
                          field("seen", &Record::seen),     field("ref", &Record::ref),
                          field("thumbnail", &Record::thumbnail), field("done", &Record::done),
                          field("event", &Record::event),   field("followUp", &Record::followUp),
                          field("history", &Record::history), field("colour", &Record::colour),
                          field("accent", &Record::accent)};
    }
};

const char* const createRecords = "CREATE TABLE records (id INTEGER PRIMARY KEY, count, flag, ratio, weight, name, "
                                  "data, blob, created, key, note, score, seen, ref, thumbnail, done, event, "
                                  "followUp, history, colour, accent, origin DEFAULT 'app')";

Record full()
{
    Record r;
    r.id = 1;
    r.count = -42;
    r.flag = true;
    r.ratio = 0.1;
    r.weight = 1.5f;
    r.name = "Zoë \"quoted\" 'single'";
    r.data = {0, 1, 2, 255};
    r.blob = Blob{9, 8};
    r.created = at(1614834367089);
    r.key = uuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    r.note = "a note";
    r.score = -2.5;
    r.seen = at(-86400001);
    r.ref = uuid("00000000-0000-0000-0000-000000000001");
    r.thumbnail = std::vector<std::uint8_t>{};
    r.done = false;
    r.event.when = at(978307200123);
    r.event.who = uuid("ABCDEFAB-CDEF-ABCD-EFAB-CDEFABCDEFAB");
    r.event.payload = {7, 7, 7};
    r.event.level = 0.1f;
    r.event.priority = 200;
    r.event.series = {{"x", {1.0, 1e-7, 1e300}}, {"y/z", {}}};
    Event second;
    second.when = at(0);
    second.payload = {};
    r.followUp = second;
    r.history = {second, r.event};
    r.colour = Colour::blue;
    r.accent = Colour::green;
    return r;
}

Record sparse()
{
    Record r;
    r.id = 2;
    r.name = "";
    r.created = at(1);
    return r;
}

std::vector<std::string> storageClasses(Connection& db, std::int64_t id)
{
    const std::vector<std::string> names{"id",  "count", "flag",      "ratio", "weight", "name",    "data",
                                         "blob", "created", "key",    "note",  "score",  "seen",    "ref",
                                         "thumbnail", "done", "event", "followUp", "history", "colour", "accent"};
    std::vector<std::string> classes;
    for (const std::string& name : names) {
        auto rows = db.prepareRowIterator("SELECT typeof(" + quote(name) + ") FROM records WHERE id = ?", {Binding(id)});
        auto row = rows.failableNext();
        classes.push_back(std::get<std::string>(*row->values.at(0)));
    }
    return classes;
}

std::vector<Record> readAll(Connection& db)
{
    return db.prepare(Table("records").order(Expression<std::int64_t>("id"))).map([](const Row& row) {
        return decode<Record>(row);
    });
}

} // namespace

template <> struct velquine::sql::JsonCoding<Colour> {
    static JsonValue toJson(Colour c)
    {
        return JsonValue(std::string(c == Colour::red ? "red" : c == Colour::green ? "green" : "blue"));
    }
    static Colour fromJson(const JsonValue& json)
    {
        const std::string text = JsonCoding<std::string>::fromJson(json);
        if (text == "red")
            return Colour::red;
        if (text == "green")
            return Colour::green;
        if (text == "blue")
            return Colour::blue;
        throw DecodingError::dataCorrupted("no colour: " + text);
    }
};

TEST(RowCodingRoundTripTest, EveryShapeComesBackEqual)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute(createRecords);
    db->run(insert(Table("records"), full()));
    db->run(insert(Table("records"), sparse()));

    const std::vector<Record> read = readAll(*db);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], full());
    EXPECT_EQ(read[1], sparse());
    EXPECT_EQ(read[0].weight, 1.5f);
    EXPECT_EQ(read[0].event.level, 0.1f);
}

TEST(RowCodingRoundTripTest, FieldsLandInTheirStorageClass)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute(createRecords);
    db->run(insert(Table("records"), full()));
    db->run(insert(Table("records"), sparse()));
    EXPECT_EQ(storageClasses(*db, 1),
              (std::vector<std::string>{"integer", "integer", "integer", "real", "real", "text", "blob", "blob", "text",
                                        "text", "text", "real", "text", "text", "blob", "integer", "text", "text",
                                        "text", "text", "text"}));
    EXPECT_EQ(storageClasses(*db, 2),
              (std::vector<std::string>{"integer", "integer", "integer", "real", "real", "text", "blob", "blob", "text",
                                        "text", "null", "null", "null", "null", "null", "null", "text", "null",
                                        "text", "text", "null"}));

    auto row = db->prepareRowIterator("SELECT created, seen, key, event, colour, history FROM records WHERE id = 1", {})
                   .failableNext();
    EXPECT_EQ(row->values[0], OptBinding(Binding(std::string("2021-03-04T05:06:07.089"))));
    EXPECT_EQ(row->values[1], OptBinding(Binding(std::string("1969-12-30T23:59:59.999"))));
    EXPECT_EQ(row->values[2], OptBinding(Binding(std::string("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"))));
    EXPECT_EQ(row->values[3], OptBinding(Binding(std::string(
                                  R"({"when":0.123,"who":"ABCDEFAB-CDEF-ABCD-EFAB-CDEFABCDEFAB","payload":"BwcH","level":0.1,"priority":200,"series":{"x":[1,1e-07,1e+300],"y/z":[]}})"))));
    EXPECT_EQ(row->values[4], OptBinding(Binding(std::string("\"blue\""))));
    EXPECT_EQ(std::get<std::string>(*row->values[5]).substr(0, 28), R"([{"when":-978307200,"who":"0)");
}

TEST(RowCodingRoundTripTest, MultiRowInsertWithDifferentOptionalsKeepsEveryValueInItsColumn)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute(createRecords);
    Record a = sparse();
    a.id = 10;
    a.note = "only a note";
    Record b = sparse();
    b.id = 11;
    b.seen = at(5);
    Record c = full();
    c.id = 12;
    const std::vector<Setter> origin{set(Expression<std::string>("origin"), std::string("bulk"))};
    db->run(insertRows(Table("records"), std::vector<Record>{a, b, c}, origin));

    const std::vector<Record> read = readAll(*db);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0], a);
    EXPECT_EQ(read[1], b);
    EXPECT_EQ(read[2], c);
    auto origins = db->prepareRowIterator("SELECT count(*) FROM records WHERE origin = 'bulk'", {}).failableNext();
    EXPECT_EQ(origins->values[0], OptBinding(Binding(std::int64_t{3})));

    // No values: one row of default values.
    EXPECT_EQ(db->run(insertRows(Table("records"), std::vector<Record>{}, origin)), 13);
    auto defaults = db->prepareRowIterator("SELECT origin, name FROM records WHERE id = 13", {}).failableNext();
    EXPECT_EQ(defaults->values, (std::vector<OptBinding>{Binding(std::string("app")), std::nullopt}));
}

TEST(RowCodingRoundTripTest, UpsertAndUpdateRewriteTheStoredRow)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute(createRecords);
    db->run(insert(Table("records"), full()));

    Record changed = full();
    changed.name = "renamed";
    changed.history.clear();
    db->run(upsert(Table("records"), changed, Expression<std::int64_t>("id")));
    Record added = sparse();
    db->run(upsert(Table("records"), added, Expression<std::int64_t>("id")));
    std::vector<Record> read = readAll(*db);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], changed);
    EXPECT_EQ(read[1], added);

    // An update writes only present fields: the note of row 1 stays.
    Record patch = sparse();
    patch.id = 1;
    patch.score = 99.0;
    const Expression<std::int64_t> id("id");
    EXPECT_EQ(db->run(update(Table("records").filter(id == std::int64_t{1}), patch)), 1);
    read = readAll(*db);
    Record expected = sparse();
    expected.id = 1;
    expected.score = 99.0;
    expected.note = changed.note;
    expected.seen = changed.seen;
    expected.ref = changed.ref;
    expected.thumbnail = changed.thumbnail;
    expected.done = changed.done;
    expected.followUp = changed.followUp;
    expected.accent = changed.accent;
    EXPECT_EQ(read[0], expected);
    EXPECT_EQ(read[1], added);
}
