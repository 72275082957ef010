#include "platform/KeyedValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace velquine;

namespace {

KeyedValueError::Kind errorKind(const std::function<void()>& f)
{
    try {
        f();
    } catch (const KeyedValueError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no KeyedValueError";
    return KeyedValueError::Kind::indexOutOfRange;
}

} // namespace

TEST(KeyedValue, ConstructorsPickTheKind)
{
    using Kind = KeyedValue::Kind;
    EXPECT_EQ(KeyedValue().kind(), Kind::null);
    EXPECT_EQ(KeyedValue(nullptr).kind(), Kind::null);
    EXPECT_EQ(KeyedValue(true).kind(), Kind::boolean);
    EXPECT_EQ(KeyedValue(3).kind(), Kind::int64);
    EXPECT_EQ(KeyedValue(std::int64_t{-3}).kind(), Kind::int64);
    EXPECT_EQ(KeyedValue(3u).kind(), Kind::uint64);
    EXPECT_EQ(KeyedValue(std::uint64_t{3}).kind(), Kind::uint64);
    EXPECT_EQ(KeyedValue(2.5).kind(), Kind::real);
    EXPECT_EQ(KeyedValue(2.5f).kind(), Kind::real);
    EXPECT_EQ(KeyedValue("text").kind(), Kind::string);
    EXPECT_EQ(KeyedValue(std::string("text")).kind(), Kind::string);
    EXPECT_EQ(KeyedValue(Bytes{1}).kind(), Kind::bytes);
    EXPECT_EQ(KeyedValue::array().kind(), Kind::array);
    EXPECT_EQ(KeyedValue::object().kind(), Kind::object);
}

TEST(KeyedValue, ObjectsKeepInsertionOrderAndReplaceInPlace)
{
    auto v = KeyedValue::object({{"b", 1}, {"a", 2}, {"c", 3}});
    v.set("a", "two");
    v.set("d", 4);
    EXPECT_EQ(v.asObject().keys(), (std::vector<std::string>{"b", "a", "c", "d"}));
    EXPECT_EQ(v.at("a").asString(), "two");
    EXPECT_EQ(v.size(), 4u);
    EXPECT_TRUE(v.contains("c"));
    EXPECT_FALSE(v.contains("C"));
    EXPECT_EQ(v.find("zz"), nullptr);
    EXPECT_TRUE(v.asObject().remove("b"));
    EXPECT_FALSE(v.asObject().remove("b"));
    EXPECT_EQ(v.asObject().keys(), (std::vector<std::string>{"a", "c", "d"}));
}

TEST(KeyedValue, LargeObjectsStayConsistentThroughSetAndRemove)
{
    KeyedObject object;
    for (int i = 0; i < 100; ++i)
        object.set("k" + std::to_string(i), i);
    object.set("k50", "again");
    // Copies look up their own members.
    KeyedObject copy = object;
    copy.set("k50", 50);
    copy.set("extra", 1);
    EXPECT_EQ(object.at("k50").asString(), "again");
    EXPECT_FALSE(object.contains("extra"));
    EXPECT_EQ(copy.at("k50").asInt64(), 50);
    KeyedObject assigned;
    assigned = copy;
    EXPECT_TRUE(copy.remove("extra"));
    EXPECT_EQ(assigned.at("extra").asInt64(), 1);
    EXPECT_FALSE(copy.contains("extra"));
    EXPECT_TRUE(object.remove("k10"));
    EXPECT_EQ(object.size(), 99u);
    EXPECT_EQ(object.at("k50").asString(), "again");
    EXPECT_EQ(object.at("k99").asInt64(), 99);
    EXPECT_EQ(object.find("k10"), nullptr);
    EXPECT_EQ(object.entries()[10].key, "k11");
    object.set("k10", 10);
    EXPECT_EQ(object.entries().back().key, "k10");
    while (object.size() > 3)
        object.remove(object.entries().front().key);
    EXPECT_EQ(object.keys(), (std::vector<std::string>{"k98", "k99", "k10"}));
    EXPECT_EQ(object.at("k99").asInt64(), 99);
}

TEST(KeyedValue, AccessorsConvertNumbersOnlyWhenExact)
{
    EXPECT_EQ(KeyedValue(24).asDouble(), 24.0);
    EXPECT_EQ(KeyedValue(std::uint64_t{1} << 63).asDouble(), 0x1.0p63);
    EXPECT_EQ(KeyedValue(24.0).asInt64(), 24);
    EXPECT_EQ(KeyedValue(-0x1.0p63).asInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(KeyedValue(std::uint64_t{5}).asInt64(), 5);
    EXPECT_EQ(KeyedValue(5).asUInt64(), 5u);
    EXPECT_EQ(KeyedValue(18446744073709551615ull).asUInt64(), 18446744073709551615ull);

    using K = KeyedValueError::Kind;
    EXPECT_EQ(errorKind([] { KeyedValue(24.5).asInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(0x1.0p63).asInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(std::nan("")).asInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(18446744073709551615ull).asInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(-1).asUInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(0x1.0p64).asUInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(1).asBool(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(true).asInt64(); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue("1").asDouble(); }), K::typeMismatch);
}

TEST(KeyedValue, WrongKindsAndMissingKeysGiveClearErrors)
{
    using K = KeyedValueError::Kind;
    try {
        KeyedValue(3).asString();
        FAIL();
    } catch (const KeyedValueError& error) {
        EXPECT_EQ(error.kind(), K::typeMismatch);
        EXPECT_STREQ(error.what(), "expected string but found integer");
    }
    const auto object = KeyedValue::object({{"a", 1}});
    try {
        object.at("title");
        FAIL();
    } catch (const KeyedValueError& error) {
        EXPECT_EQ(error.kind(), K::keyNotFound);
        EXPECT_STREQ(error.what(), "no value for the key \"title\"");
    }
    EXPECT_EQ(errorKind([&] { object.at(0); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue::array({1}).at(1); }), K::indexOutOfRange);
    EXPECT_EQ(errorKind([] { KeyedValue::array({1}).at(-1); }), K::indexOutOfRange);
    EXPECT_EQ(KeyedValue::array({7, 8}).at(1u).asInt64(), 8);
    EXPECT_EQ(KeyedValue::array({7, 8}).at(0).asInt64(), 7);
    EXPECT_EQ(errorKind([] { KeyedValue::array().at("a"); }), K::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(nullptr).asObject(); }), K::typeMismatch);
    EXPECT_EQ(KeyedValue(3).find("a"), nullptr);
}

TEST(KeyedValue, DataValueTakesBytesOrBase64Text)
{
    EXPECT_EQ(KeyedValue(Bytes{1, 2}).dataValue(), (Bytes{1, 2}));
    EXPECT_EQ(KeyedValue("AQI=").dataValue(), (Bytes{1, 2}));
    EXPECT_EQ(errorKind([] { KeyedValue("AQI").dataValue(); }), KeyedValueError::Kind::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue(3).dataValue(); }), KeyedValueError::Kind::typeMismatch);
    EXPECT_EQ(errorKind([] { KeyedValue("AQI=").asBytes(); }), KeyedValueError::Kind::typeMismatch);
}

TEST(KeyedValue, Equality)
{
    EXPECT_EQ(KeyedValue(5), KeyedValue(std::uint64_t{5}));
    EXPECT_NE(KeyedValue(-1), KeyedValue(std::uint64_t{18446744073709551615ull}));
    EXPECT_NE(KeyedValue(5), KeyedValue(5.0));
    EXPECT_NE(KeyedValue(0.0), KeyedValue(-0.0));
    EXPECT_EQ(KeyedValue(std::nan("")), KeyedValue(std::nan("")));
    EXPECT_NE(KeyedValue(true), KeyedValue(1));
    EXPECT_NE(KeyedValue(), KeyedValue(false));
    EXPECT_NE(KeyedValue("a"), KeyedValue(Bytes{'a'}));
    EXPECT_EQ(KeyedValue::array({1, "x"}), KeyedValue::array({1, "x"}));
    EXPECT_NE(KeyedValue::array({1, "x"}), KeyedValue::array({"x", 1}));
    // Member order does not count; members and values do.
    EXPECT_EQ(KeyedValue::object({{"a", 1}, {"b", 2}}), KeyedValue::object({{"b", 2}, {"a", 1}}));
    EXPECT_NE(KeyedValue::object({{"a", 1}, {"b", 2}}), KeyedValue::object({{"a", 1}, {"b", 3}}));
    EXPECT_NE(KeyedValue::object({{"a", 1}}), KeyedValue::object({{"a", 1}, {"b", 2}}));
    EXPECT_NE(KeyedValue::object({{"a", 1}, {"b", 2}}), KeyedValue::object({{"a", 1}, {"c", 2}}));
}
