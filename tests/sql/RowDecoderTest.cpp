#include "sql/Connection.h"
#include "sql/Operators.h"
#include "sql/RowDecoder.h"
#include "sql/RowEncoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <typeindex>
#include <vector>

using namespace velquine::sql;

namespace {

Row makeRow(ColumnNameMap map, std::vector<OptBinding> values)
{
    return Row(std::make_shared<const ColumnNameMap>(std::move(map)), std::move(values));
}

OptBinding i(std::int64_t v)
{
    return Binding(v);
}
OptBinding r(double v)
{
    return Binding(v);
}
OptBinding t(std::string v)
{
    return Binding(std::move(v));
}

struct Point {
    std::int64_t x = 0;
    std::int64_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
    static auto rowFields() { return std::tuple{field("x", &Point::x), field("y", &Point::y)}; }
};

struct Person {
    std::int64_t id = 0;
    std::string name;
    static auto rowFields() { return std::tuple{field("id", &Person::id), field("name", &Person::name)}; }
};

struct Optionals {
    std::optional<int> a;
    std::optional<std::string> b;
    std::optional<bool> c;
    std::optional<double> d;
    std::optional<float> e;
    std::optional<std::int64_t> f;
    std::optional<Date> g;
    std::optional<UUID> h;
    std::optional<std::vector<std::uint8_t>> k;
    static auto rowFields()
    {
        return std::tuple{field("a", &Optionals::a), field("b", &Optionals::b), field("c", &Optionals::c),
                          field("d", &Optionals::d), field("e", &Optionals::e), field("f", &Optionals::f),
                          field("g", &Optionals::g), field("h", &Optionals::h), field("k", &Optionals::k)};
    }
};

struct WithPlace {
    std::int64_t id = 0;
    std::optional<Point> place;
    static auto rowFields() { return std::tuple{field("id", &WithPlace::id), field("place", &WithPlace::place)}; }
};

struct RequiredPlace {
    Point place;
    static auto rowFields() { return std::tuple{field("place", &RequiredPlace::place)}; }
};

struct Route {
    std::vector<Point> stops;
    std::map<std::string, Point> named;
    static auto rowFields() { return std::tuple{field("stops", &Route::stops), field("named", &Route::named)}; }
};

template <class T> struct One {
    T value{};
    static auto rowFields() { return std::tuple{field("value", &One::value)}; }
};

template <class T> T one(OptBinding stored)
{
    return decode<One<T>>(makeRow({{"\"value\"", 0}}, {std::move(stored)})).value;
}

template <class E, class F> E caught(F&& f)
{
    try {
        f();
    } catch (const E& error) {
        return error;
    }
    ADD_FAILURE() << "nothing was thrown";
    throw std::logic_error("nothing was thrown");
}

} // namespace

TEST(RowDecoderTest, SelectAllDecodesFieldByField)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, age INTEGER)");
    db->execute("INSERT INTO people VALUES (3, 'Ann', 40), (4, 'Bo', NULL)");
    const auto people = db->prepare(Table("people")).map([](const Row& row) { return decode<Person>(row); });
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(people[0].id, 3);
    EXPECT_EQ(people[0].name, "Ann");
    EXPECT_EQ(people[1].id, 4);
    EXPECT_EQ(people[1].name, "Bo");
}

TEST(RowDecoderTest, MissingColumnFailsARequiredFieldAndGivesNoneForOptionalPlainOnes)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (id INTEGER, other TEXT)");
    db->execute("INSERT INTO t VALUES (1, 'x')");
    auto row = db->prepare(Table("t")).failableNext();
    ASSERT_TRUE(row);

    const QueryError missing = caught<QueryError>([&] { decode<Person>(*row); });
    EXPECT_EQ(missing.kind(), QueryError::Kind::noSuchColumn);
    EXPECT_STREQ(missing.what(), R"(No such column `"name"` in columns ["\"id\"", "\"other\""])");

    const Optionals none = decode<Optionals>(*row);
    EXPECT_FALSE(none.a || none.b || none.c || none.d || none.e || none.f || none.g || none.h || none.k);
}

TEST(RowDecoderTest, OptionalNestedFieldNeedsItsColumnButMayBeNull)
{
    const QueryError missing = caught<QueryError>([] { decode<WithPlace>(makeRow({{"\"id\"", 0}}, {i(1)})); });
    EXPECT_EQ(missing.kind(), QueryError::Kind::noSuchColumn);
    EXPECT_FALSE(decode<WithPlace>(makeRow({{"\"id\"", 0}, {"\"place\"", 1}}, {i(1), std::nullopt})).place);
    EXPECT_FALSE(decode<WithPlace>(makeRow({{"\"id\"", 0}, {"\"place\"", 1}}, {i(1), i(5)})).place);
    EXPECT_EQ(decode<WithPlace>(makeRow({{"\"id\"", 0}, {"\"place\"", 1}}, {i(1), t(R"({"x":1,"y":-2})")})).place,
              (Point{1, -2}));
}

TEST(RowDecoderTest, QualifiedColumnsAreFoundByDecodeButNotByContains)
{
    const Row row = makeRow({{"\"people\".\"id\"", 0}, {"\"people\".\"name\"", 1}, {"\"pets\".\"owner\"", 2}},
                            {i(8), t("Cy"), i(8)});
    const Person person = decode<Person>(row);
    EXPECT_EQ(person.id, 8);
    EXPECT_EQ(person.name, "Cy");
    RowDecoder decoder(row);
    EXPECT_FALSE(decoder.contains("id"));
    EXPECT_TRUE(decoder.decodeNil("id"));
    EXPECT_EQ(decoder.decode<std::int64_t>("id"), 8);

    const Row exact = makeRow({{"\"id\"", 0}, {"\"name\"", 1}}, {i(8), std::nullopt});
    RowDecoder exactDecoder(exact);
    EXPECT_TRUE(exactDecoder.contains("id"));
    EXPECT_FALSE(exactDecoder.contains("name"));
    EXPECT_TRUE(exactDecoder.decodeNil("name"));
}

TEST(RowDecoderTest, ColumnOfTwoJoinedTablesIsAmbiguous)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE people (id INTEGER, name TEXT); CREATE TABLE pets (id INTEGER, owner INTEGER);"
                "INSERT INTO people VALUES (1, 'Di'); INSERT INTO pets VALUES (2, 1);");
    const Table people("people");
    const Table pets("pets");
    auto row = db->prepare(people.join(pets, pets[Expression<std::int64_t>("owner")]
                                                  == people[Expression<std::int64_t>("id")]))
                   .failableNext();
    ASSERT_TRUE(row);
    const QueryError ambiguous = caught<QueryError>([&] { decode<Person>(*row); });
    EXPECT_EQ(ambiguous.kind(), QueryError::Kind::ambiguousColumn);
    EXPECT_EQ(ambiguous.columns(), (std::vector<std::string>{"\"people\".\"id\"", "\"pets\".\"id\""}));
    // The optional plain form swallows the lookup failure.
    EXPECT_FALSE(RowDecoder(*row).decodeIfPresent<std::int64_t>("id"));
    EXPECT_EQ(RowDecoder(*row).decode<std::string>("name"), "Di");
}

TEST(RowDecoderTest, StorageClassesAreNotConverted)
{
    const QueryError integerAsReal = caught<QueryError>([] { one<double>(i(1)); });
    EXPECT_EQ(integerAsReal.kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_STREQ(integerAsReal.what(), "Unexpected null value for column `\"value\"`");
    EXPECT_EQ(caught<QueryError>([] { one<std::int64_t>(r(1.0)); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<std::string>(i(1)); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<bool>(t("1")); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<std::vector<std::uint8_t>>(t("ab")); }).kind(),
              QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<int>(std::nullopt); }).kind(), QueryError::Kind::unexpectedNullValue);

    EXPECT_FALSE(one<std::optional<double>>(i(1)));
    EXPECT_FALSE(one<std::optional<std::int64_t>>(r(1.0)));
    EXPECT_FALSE(one<std::optional<std::string>>(Binding(Blob{1})));
}

TEST(RowDecoderTest, PlainValuesAsStored)
{
    EXPECT_TRUE(one<bool>(i(2)));
    EXPECT_TRUE(one<bool>(i(-1)));
    EXPECT_FALSE(one<bool>(i(0)));
    EXPECT_EQ(one<float>(r(0.1)), 0.1f);
    EXPECT_EQ(one<double>(r(-0.0)), 0.0);
    EXPECT_EQ(one<int>(i(-2147483648)), -2147483647 - 1);
    EXPECT_EQ(one<long long>(i(INT64_MIN)), INT64_MIN);
    EXPECT_EQ(one<std::vector<std::uint8_t>>(Binding(Blob{})), std::vector<std::uint8_t>{});
    EXPECT_EQ(one<Blob>(Binding(Blob{4, 5})), (Blob{4, 5}));
    EXPECT_EQ(one<std::string>(t(std::string("a\0b", 3))), std::string("a\0b", 3));
    EXPECT_EQ(one<Date>(t("2021-03-04T05:06:07.089")), Date(std::chrono::milliseconds(1614834367089)));
    EXPECT_EQ(one<UUID>(t("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")).uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

    const DecodingError tooBig = caught<DecodingError>([] { one<int>(i(2147483648)); });
    EXPECT_EQ(tooBig.kind(), DecodingError::Kind::dataCorrupted);
}

TEST(RowDecoderTest, DatesAndUuidsThatDoNotParseCountAsNoValue)
{
    EXPECT_EQ(caught<QueryError>([] { one<Date>(t("yesterday")); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<Date>(t("2021-03-04 05:06:07")); }).kind(),
              QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<UUID>(t("e621e1f8")); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_EQ(caught<QueryError>([] { one<Date>(r(1.0)); }).kind(), QueryError::Kind::unexpectedNullValue);
    EXPECT_FALSE(one<std::optional<Date>>(t("yesterday")));
    EXPECT_FALSE(one<std::optional<UUID>>(t("not a uuid")));
    EXPECT_FALSE(one<std::optional<std::vector<std::uint8_t>>>(t("not a blob")));
    // The optional forms of these types swallow lookup failures as well.
    const Row empty = makeRow({}, {});
    RowDecoder decoder(empty);
    EXPECT_FALSE(decoder.decodeIfPresent<Date>("when"));
    EXPECT_FALSE(decoder.decodeIfPresent<UUID>("who"));
    EXPECT_FALSE(decoder.decodeIfPresent<Blob>("data"));
    EXPECT_EQ(caught<QueryError>([&] { decoder.decode<Date>("when"); }).kind(), QueryError::Kind::noSuchColumn);
}

TEST(RowDecoderTest, JsonColumnErrors)
{
    const DecodingError null = caught<DecodingError>([] { one<Point>(std::nullopt); });
    EXPECT_EQ(null.kind(), DecodingError::Kind::typeMismatch);
    EXPECT_STREQ(null.what(), "an unsupported type was found");
    EXPECT_EQ(null.type(), std::optional<std::type_index>(typeid(Point)));
    EXPECT_STREQ(caught<DecodingError>([] { one<Point>(i(3)); }).what(), "an unsupported type was found");

    const DecodingError utf8 = caught<DecodingError>([] { one<Point>(t("{\"x\":1,\"y\":\"\xc3\"}")); });
    EXPECT_EQ(utf8.kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_STREQ(utf8.what(), "invalid utf8 data found");

    const DecodingError notJson = caught<DecodingError>([] { one<Point>(t("{x:1}")); });
    EXPECT_EQ(notJson.kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_STREQ(notJson.what(), "the given data is not valid JSON: expected a member name at offset 1");

    const DecodingError missingKey = caught<DecodingError>([] { one<Point>(t(R"({"x":1})")); });
    EXPECT_EQ(missingKey.kind(), DecodingError::Kind::keyNotFound);
    EXPECT_STREQ(missingKey.what(), "no value for the key \"y\"");

    const DecodingError wrongKind = caught<DecodingError>([] { one<Point>(t(R"({"x":1,"y":"2"})")); });
    EXPECT_EQ(wrongKind.kind(), DecodingError::Kind::typeMismatch);
    EXPECT_STREQ(wrongKind.what(), "expected a number but found a string (coding path: y)");
    EXPECT_EQ(wrongKind.reason(), "expected a number but found a string");
    EXPECT_EQ(wrongKind.codingPath(), "y");
    EXPECT_EQ(wrongKind.type(), std::optional<std::type_index>(typeid(std::int64_t)));

    const DecodingError nullMember = caught<DecodingError>([] { one<Point>(t(R"({"x":1,"y":null})")); });
    EXPECT_EQ(nullMember.kind(), DecodingError::Kind::valueNotFound);

    const DecodingError fraction = caught<DecodingError>([] { one<Point>(t(R"({"x":1.5,"y":0})")); });
    EXPECT_EQ(fraction.kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ((one<Point>(t(R"({"y":2e0,"x":-0, "z":"ignored"})"))), (Point{0, 2}));

    // The optional JSON form: NULL or another storage class gives none, a missing column fails,
    // and bad text fails as in the required form.
    EXPECT_FALSE(one<std::optional<Point>>(std::nullopt));
    EXPECT_FALSE(one<std::optional<Point>>(r(2.0)));
    const Row empty = makeRow({}, {});
    EXPECT_EQ(caught<QueryError>([&] { RowDecoder(empty).decodeIfPresent<Point>("p"); }).kind(),
              QueryError::Kind::noSuchColumn);
    EXPECT_EQ(caught<DecodingError>([] { one<std::optional<Point>>(t("[")); }).kind(),
              DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(caught<DecodingError>([] { decode<RequiredPlace>(makeRow({{"\"place\"", 0}}, {std::nullopt})); }).kind(),
              DecodingError::Kind::typeMismatch);
}

TEST(RowDecoderTest, UnsupportedIntegerWidthsFailWithTheirMessage)
{
    const auto message = [](auto type) -> std::string {
        using I = decltype(type);
        try {
            one<I>(i(1));
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
            EXPECT_EQ(error.type(), std::optional<std::type_index>(typeid(I)));
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(message(std::int8_t{}), "decoding an Int8 is not supported");
    EXPECT_EQ(message(std::int16_t{}), "decoding an Int16 is not supported");
    EXPECT_EQ(message(std::uint8_t{}), "decoding an UInt8 is not supported");
    EXPECT_EQ(message(std::uint16_t{}), "decoding an UInt16 is not supported");
    EXPECT_EQ(message(std::uint32_t{}), "decoding an UInt32 is not supported");
    EXPECT_EQ(message(std::uint64_t{}), "decoding an UInt64 is not supported");
    EXPECT_EQ(message(0ull), "decoding an UInt is not supported");

    // Optional: none when the exact column is missing or NULL, the failure when a value is there.
    const Row row = makeRow({{"\"n\"", 0}, {"\"t\".\"q\"", 1}}, {std::nullopt, i(1)});
    RowDecoder decoder(row);
    EXPECT_FALSE(decoder.decodeIfPresent<std::uint8_t>("n"));
    EXPECT_FALSE(decoder.decodeIfPresent<std::uint8_t>("q"));
    EXPECT_FALSE(decoder.decodeIfPresent<std::int16_t>("absent"));
    EXPECT_THROW(one<std::optional<std::uint8_t>>(i(1)), DecodingError);
}

TEST(RowDecoderTest, WhatTheEncoderWritesForOneRowReadsBack)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (\"a\", \"b\", \"c\", \"d\", \"e\", \"f\", \"g\", \"h\", \"k\")");
    Optionals value;
    value.a = -7;
    value.c = true;
    value.e = 0.3f;
    value.g = Date(std::chrono::milliseconds(-1));
    value.h = *UUID::fromString("00112233-4455-6677-8899-aabbccddeeff");
    value.k = std::vector<std::uint8_t>{0};
    db->run(insert(Table("t"), value));
    const Optionals read = decode<Optionals>(*db->prepare(Table("t")).failableNext());
    EXPECT_EQ(read.a, value.a);
    EXPECT_EQ(read.b, value.b);
    EXPECT_EQ(read.c, value.c);
    EXPECT_EQ(read.d, value.d);
    EXPECT_EQ(read.e, value.e);
    EXPECT_EQ(read.f, value.f);
    EXPECT_EQ(read.g, value.g);
    EXPECT_EQ(read.h, value.h);
    EXPECT_EQ(read.k, value.k);
}

TEST(RowDecoderTest, JsonErrorsNameWhereInsideTheNestedValueTheyLie)
{
    EXPECT_STREQ(caught<DecodingError>([] { one<Route>(t(R"({"stops":[{"x":1,"y":2},{"x":"a","y":0}],"named":{}})")); })
                     .what(),
                 "expected a number but found a string (coding path: stops[1].x)");
    const DecodingError missing = caught<DecodingError>([] { one<Route>(t(R"({"stops":[{"x":1}],"named":{}})")); });
    EXPECT_EQ(missing.kind(), DecodingError::Kind::keyNotFound);
    EXPECT_STREQ(missing.what(), "no value for the key \"y\" (coding path: stops[0])");
    EXPECT_STREQ(caught<DecodingError>([] { one<Route>(t(R"({"stops":[],"named":{"home":{"x":true,"y":0}}})")); })
                     .what(),
                 "expected a number but found a boolean (coding path: named.home.x)");
    EXPECT_STREQ(caught<DecodingError>([] { one<std::vector<std::vector<Point>>>(t(R"([[],[null]])")); }).what(),
                 "expected an object but found null (coding path: [1][0])");
    const Route route = one<Route>(t(R"({"stops":[{"x":1,"y":2}],"named":{"a":{"x":3,"y":4}}})"));
    EXPECT_EQ(route.stops, (std::vector<Point>{{1, 2}}));
    EXPECT_EQ(route.named.at("a"), (Point{3, 4}));
}
