#include "sql/Operators.h"
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

struct Abc {
    int a = 0;
    std::string b;
    bool c = false;
    static auto rowFields() { return std::tuple{field("a", &Abc::a), field("b", &Abc::b), field("c", &Abc::c)}; }
};

enum class Colour { red, green };

struct Address {
    std::string street;
    std::int64_t number = 0;
    std::optional<std::string> flat;
    static auto rowFields()
    {
        return std::tuple{field("street", &Address::street), field("number", &Address::number),
                          field("flat", &Address::flat)};
    }
};

struct Nested {
    Address address;
    std::vector<std::int64_t> scores;
    std::map<std::string, std::string> tags;
    Colour colour = Colour::red;
    static auto rowFields()
    {
        return std::tuple{field("address", &Nested::address), field("scores", &Nested::scores),
                          field("tags", &Nested::tags), field("colour", &Nested::colour)};
    }
};

struct Optionals {
    std::int64_t id = 0;
    std::optional<int> count;
    std::optional<std::int64_t> big;
    static auto rowFields()
    {
        return std::tuple{field("id", &Optionals::id), field("count", &Optionals::count), field("big", &Optionals::big)};
    }
};

struct TwoOptionals {
    std::int64_t id = 0;
    std::optional<std::string> first;
    std::optional<std::string> second;
    static auto rowFields()
    {
        return std::tuple{field("id", &TwoOptionals::id), field("first", &TwoOptionals::first),
                          field("second", &TwoOptionals::second)};
    }
};

struct ExplicitNull {
    std::int64_t id = 0;
    std::optional<std::string> note;
    static auto rowFields()
    {
        return std::tuple{field("id", &ExplicitNull::id), field("note", &ExplicitNull::note).writingNullWhenAbsent()};
    }
};

struct Quoted {
    std::string text;
    static auto rowFields() { return std::tuple{field("say \"hi\"", &Quoted::text)}; }
};

struct Named {
    std::int64_t id = 0;
    std::string name;
    static auto rowFields() { return std::tuple{field("id", &Named::id), field("name", &Named::name)}; }
};

template <class I> struct Narrow {
    I value{};
    static auto rowFields() { return std::tuple{field("value", &Narrow::value)}; }
};

std::vector<std::string> columns(const std::vector<Setter>& setters)
{
    std::vector<std::string> names;
    for (const Setter& s : setters)
        names.push_back(s.column.templ);
    return names;
}

std::vector<OptBinding> values(const std::vector<Setter>& setters)
{
    std::vector<OptBinding> bound;
    for (const Setter& s : setters) {
        EXPECT_EQ(s.value.templ, "?");
        bound.insert(bound.end(), s.value.bindings.begin(), s.value.bindings.end());
    }
    return bound;
}

OptBinding i(std::int64_t v)
{
    return Binding(v);
}
OptBinding t(std::string v)
{
    return Binding(std::move(v));
}

const Table table("t");

} // namespace

template <> struct velquine::sql::JsonCoding<Colour> {
    static JsonValue toJson(Colour c) { return JsonValue(std::string(c == Colour::red ? "red" : "green")); }
    static Colour fromJson(const JsonValue& json)
    {
        const std::string text = JsonCoding<std::string>::fromJson(json);
        if (text == "red")
            return Colour::red;
        if (text == "green")
            return Colour::green;
        throw DecodingError::dataCorrupted("no colour: " + text);
    }
};

TEST(RowEncoderTest, FieldsBecomeSettersInOrderWithQuotedColumns)
{
    const std::vector<Setter> setters = encodeSetters(Abc{7, "x", true});
    EXPECT_EQ(columns(setters), (std::vector<std::string>{"\"a\"", "\"b\"", "\"c\""}));
    EXPECT_EQ(values(setters), (std::vector<OptBinding>{i(7), t("x"), i(1)}));
    EXPECT_EQ(values(encodeSetters(Abc{0, "", false})), (std::vector<OptBinding>{i(0), t(""), i(0)}));

    const Insert insertion = insert(table, Abc{7, "x", true});
    EXPECT_EQ(insertion.templ, R"(INSERT INTO "t" ("a", "b", "c") VALUES (?, ?, ?))");
    EXPECT_EQ(insertion.bindings, (std::vector<OptBinding>{i(7), t("x"), i(1)}));
}

TEST(RowEncoderTest, KeyWithDoubleQuoteIsDoubled)
{
    EXPECT_EQ(columns(encodeSetters(Quoted{"x"})), (std::vector<std::string>{R"("say ""hi""")"}));
}

TEST(RowEncoderTest, StorageFormOfEachType)
{
    RowEncoder encoder;
    encoder.encode("f", 1.5f);
    encoder.encode("d", 0.25);
    encoder.encode("i64", std::int64_t{-9007199254740993});
    encoder.encode("data", std::vector<std::uint8_t>{0, 255});
    encoder.encode("blob", Blob{1, 2});
    encoder.encode("date", Date(std::chrono::milliseconds(1614834367089)));
    encoder.encode("uuid", *UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    EXPECT_EQ(values(encoder.setters()),
              (std::vector<OptBinding>{Binding(1.5), Binding(0.25), i(-9007199254740993),
                                       Binding(Blob{0, 255}), Binding(Blob{1, 2}), t("2021-03-04T05:06:07.089"),
                                       t("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")}));
}

TEST(RowEncoderTest, NestedValuesAreStoredAsJsonText)
{
    Nested value;
    value.address.street = "Main \"St\"";
    value.address.number = 5;
    value.scores = {3, -1};
    value.tags = {{"b", "2"}, {"a", "1"}};
    value.colour = Colour::green;
    EXPECT_EQ(values(encodeSetters(value)),
              (std::vector<OptBinding>{t(R"({"street":"Main \"St\"","number":5})"), t("[3,-1]"),
                                       t(R"({"a":"1","b":"2"})"), t(R"("green")")}));
    value.address.flat = "2/3";
    EXPECT_EQ(values(encodeSetters(value)).front(), t(R"({"street":"Main \"St\"","number":5,"flat":"2/3"})"));
}

TEST(RowEncoderTest, NestedOptionalsAreLeftOutOrWrittenAsNull)
{
    struct Label {
        std::optional<std::string> text;
        std::optional<std::int64_t> size;
        static auto rowFields()
        {
            return std::tuple{field("text", &Label::text).writingNullWhenAbsent(), field("size", &Label::size)};
        }
    };
    struct Sign {
        Label label;
        std::vector<std::optional<bool>> lamps;
        static auto rowFields() { return std::tuple{field("label", &Sign::label), field("lamps", &Sign::lamps)}; }
    };
    EXPECT_EQ(values(encodeSetters(Sign{{std::nullopt, std::nullopt}, {true, std::nullopt}})),
              (std::vector<OptBinding>{t(R"({"text":null})"), t("[true,null]")}));
    EXPECT_EQ(values(encodeSetters(Sign{{"open", 3}, {}})),
              (std::vector<OptBinding>{t(R"({"text":"open","size":3})"), t("[]")}));
}

TEST(RowEncoderTest, NestedValuesWithoutJsonFormFailTheEncoding)
{
    struct Reading {
        std::vector<double> samples;
        static auto rowFields() { return std::tuple{field("samples", &Reading::samples)}; }
    };
    try {
        encodeSetters(Reading{{1.0, std::numeric_limits<double>::quiet_NaN()}});
        FAIL() << "NaN was written as JSON";
    } catch (const EncodingError& error) {
        EXPECT_EQ(error.kind(), EncodingError::Kind::invalidValue);
    }
    struct Label {
        std::vector<std::string> lines;
        static auto rowFields() { return std::tuple{field("lines", &Label::lines)}; }
    };
    EXPECT_THROW(encodeSetters(Label{{"ok", std::string("\xff\xfe")}}), EncodingError);
    EXPECT_EQ(values(encodeSetters(Label{{"ok", "\xc3\xa9"}})), (std::vector<OptBinding>{t("[\"ok\",\"\xc3\xa9\"]")}));
}

TEST(RowEncoderTest, AbsentOptionalAddsNoSetterInASingleRow)
{
    const Insert insertion = insert(table, Optionals{1, std::nullopt, 9});
    EXPECT_EQ(insertion.templ, R"(INSERT INTO "t" ("id", "big") VALUES (?, ?))");
    EXPECT_EQ(insertion.bindings, (std::vector<OptBinding>{i(1), i(9)}));
    EXPECT_EQ(columns(encodeSetters(Optionals{1, 4, std::nullopt})), (std::vector<std::string>{"\"id\"", "\"count\""}));
}

TEST(RowEncoderTest, ForcedPassWritesNullForEveryAbsentOptional)
{
    const std::vector<Setter> forced = encodeSetters(Optionals{1, std::nullopt, std::nullopt}, {}, true);
    EXPECT_EQ(columns(forced), (std::vector<std::string>{"\"id\"", "\"count\"", "\"big\""}));
    EXPECT_EQ(values(forced), (std::vector<OptBinding>{i(1), std::nullopt, std::nullopt}));
}

TEST(RowEncoderTest, EncodeNilAlwaysAddsNull)
{
    RowEncoder encoder;
    encoder.encodeNil("x");
    encoder.encodeIfPresent("y", std::optional<int>());
    encoder.encode("x", std::string("again"));
    EXPECT_EQ(columns(encoder.setters()), (std::vector<std::string>{"\"x\"", "\"x\""}));
    EXPECT_EQ(values(encoder.setters()), (std::vector<OptBinding>{std::nullopt, t("again")}));

    EXPECT_EQ(values(encodeSetters(ExplicitNull{3, std::nullopt})), (std::vector<OptBinding>{i(3), std::nullopt}));
    EXPECT_EQ(values(encodeSetters(ExplicitNull{3, "n"})), (std::vector<OptBinding>{i(3), t("n")}));
}

TEST(RowEncoderTest, UnsupportedIntegerWidthsFailWithTheirMessage)
{
    const auto message = [](auto value) -> std::string {
        try {
            encodeSetters(Narrow<decltype(value)>{value});
        } catch (const EncodingError& error) {
            EXPECT_EQ(error.kind(), EncodingError::Kind::invalidValue);
            EXPECT_EQ(std::any_cast<decltype(value)>(error.value()), value);
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(message(std::int8_t{1}), "encoding an Int8 is not supported");
    EXPECT_EQ(message('a'), "encoding an Int8 is not supported");
    EXPECT_EQ(message(std::int16_t{1}), "encoding an Int16 is not supported");
    EXPECT_EQ(message(std::uint8_t{1}), "encoding an UInt8 is not supported");
    EXPECT_EQ(message(std::uint16_t{1}), "encoding an UInt16 is not supported");
    EXPECT_EQ(message(std::uint32_t{1}), "encoding an UInt32 is not supported");
    EXPECT_EQ(message(std::uint64_t{1}), "encoding an UInt64 is not supported");
    EXPECT_EQ(message(1ull), "encoding an UInt is not supported");
    // The platform integer and both 64-bit signed spellings are stored.
    EXPECT_EQ(values(encodeSetters(Narrow<int>{-3})), (std::vector<OptBinding>{i(-3)}));
    EXPECT_EQ(values(encodeSetters(Narrow<long long>{-4})), (std::vector<OptBinding>{i(-4)}));
    EXPECT_EQ(values(encodeSetters(Narrow<long>{-5})), (std::vector<OptBinding>{i(-5)}));

    // An absent optional of such a width writes nothing; a present one fails the whole statement.
    struct Small {
        std::int64_t id = 0;
        std::optional<std::uint64_t> size;
        static auto rowFields() { return std::tuple{field("id", &Small::id), field("size", &Small::size)}; }
    };
    EXPECT_EQ(insert(table, Small{1, std::nullopt}).templ, R"(INSERT INTO "t" ("id") VALUES (?))");
    EXPECT_THROW(insert(table, Small{1, 2}), EncodingError);
    EXPECT_THROW(insertRows(table, std::vector<Small>{{1, std::nullopt}, {2, 3}}), EncodingError);
}

TEST(RowEncoderTest, InsertWithConflictClause)
{
    const Insert insertion = insert(table, OnConflict::replace, Named{1, "a"});
    EXPECT_EQ(insertion.templ, R"(INSERT OR REPLACE INTO "t" ("id", "name") VALUES (?, ?))");
    EXPECT_EQ(insert(table, OnConflict::ignore, Named{1, "a"}).templ,
              R"(INSERT OR IGNORE INTO "t" ("id", "name") VALUES (?, ?))");
}

TEST(RowEncoderTest, AdditionalSettersFollowAndRepeatInEveryRow)
{
    const std::vector<Setter> extra{set(Expression<std::string>("origin"), std::string("import"))};
    const Insert one = insert(table, Named{1, "a"}, extra);
    EXPECT_EQ(one.templ, R"(INSERT INTO "t" ("id", "name", "origin") VALUES (?, ?, ?))");
    EXPECT_EQ(one.bindings, (std::vector<OptBinding>{i(1), t("a"), t("import")}));

    const Insert many = insertRows(table, std::vector<Named>{{1, "a"}, {2, "b"}}, extra);
    EXPECT_EQ(many.templ, R"(INSERT INTO "t" ("id", "name", "origin") VALUES (?, ?, ?), (?, ?, ?))");
    EXPECT_EQ(many.bindings, (std::vector<OptBinding>{i(1), t("a"), t("import"), i(2), t("b"), t("import")}));
}

TEST(RowEncoderTest, RowsOfDifferentLengthAreEncodedAgainWithNulls)
{
    const Insert many = insertRows(table, std::vector<Optionals>{{1, 5, std::nullopt}, {2, std::nullopt, std::nullopt}});
    EXPECT_EQ(many.templ, R"(INSERT INTO "t" ("id", "count", "big") VALUES (?, ?, ?), (?, ?, ?))");
    EXPECT_EQ(many.bindings, (std::vector<OptBinding>{i(1), i(5), std::nullopt, i(2), std::nullopt, std::nullopt}));

    // Equal column lists are kept as they are: no NULL is added.
    const Insert same = insertRows(table, std::vector<Optionals>{{1, 5, std::nullopt}, {2, 6, std::nullopt}});
    EXPECT_EQ(same.templ, R"(INSERT INTO "t" ("id", "count") VALUES (?, ?), (?, ?))");
}

TEST(RowEncoderTest, RowsOfEqualLengthButOtherColumnsAreEncodedAgain)
{
    const Insert many = insertRows(table, std::vector<TwoOptionals>{{1, "f", std::nullopt}, {2, std::nullopt, "s"}});
    EXPECT_EQ(many.templ, R"(INSERT INTO "t" ("id", "first", "second") VALUES (?, ?, ?), (?, ?, ?))");
    EXPECT_EQ(many.bindings,
              (std::vector<OptBinding>{i(1), t("f"), std::nullopt, i(2), std::nullopt, t("s")}));
}

TEST(RowEncoderTest, RowsThatStillDifferFailInsteadOfShiftingValues)
{
    const auto row = [](std::vector<std::string> names) {
        std::vector<Setter> setters;
        for (const std::string& name : names)
            setters.push_back(Setter{RowEncoder::column(name), parameter(Binding(name))});
        return setters;
    };
    int calls = 0;
    try {
        detail::rowsWithSameColumns(3, [&](std::size_t index, bool forcing) {
            ++calls;
            if (index == 2)
                return row({"b", "a"});
            return forcing ? row({"a", "b"}) : row({"a"});
        });
        FAIL() << "rows with columns in another order were accepted";
    } catch (const EncodingError& error) {
        EXPECT_STREQ(error.what(), R"(the rows of a multi-row insert name different columns: row 1 names ("a", "b"), row 3 names ("b", "a"))");
        EXPECT_EQ(std::any_cast<std::size_t>(error.value()), 3u);
    }
    EXPECT_EQ(calls, 6);

    calls = 0;
    const auto rows = detail::rowsWithSameColumns(2, [&](std::size_t, bool forcing) {
        ++calls;
        EXPECT_FALSE(forcing);
        return row({"a", "b"});
    });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(rows.size(), 2u);
}

TEST(RowEncoderTest, EmptyListInsertsDefaultValues)
{
    const Insert insertion = insertRows(table, std::vector<Named>{});
    EXPECT_EQ(insertion.templ, R"(INSERT INTO "t" DEFAULT VALUES)");
    EXPECT_TRUE(insertion.bindings.empty());
}

TEST(RowEncoderTest, UpsertLeavesTheConflictTargetOutOfTheUpdate)
{
    const Insert upserted = upsert(table, Named{1, "a"}, Expression<std::int64_t>("id"));
    EXPECT_EQ(upserted.templ,
              R"(INSERT INTO "t" ("id", "name") VALUES (?, ?) ON CONFLICT ("id") DO UPDATE SET "name" = "excluded"."name")");
    EXPECT_EQ(upserted.bindings, (std::vector<OptBinding>{i(1), t("a")}));
}

TEST(RowEncoderTest, UpdateSetsEveryFieldOfTheSelectedRows)
{
    const Update updated = update(table.filter(Expression<std::int64_t>("id") == std::int64_t{4}), Named{4, "d"});
    EXPECT_EQ(updated.templ, R"(UPDATE "t" SET "id" = ?, "name" = ? WHERE ("id" = ?))");
    EXPECT_EQ(updated.bindings, (std::vector<OptBinding>{i(4), t("d"), i(4)}));
    EXPECT_EQ(update(table, ExplicitNull{1, std::nullopt}).templ, R"(UPDATE "t" SET "id" = ?, "note" = ?)");
}
