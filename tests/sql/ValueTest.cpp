#include "sql/Value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

TEST(SqlBlob, HexAndLiteralForms)
{
    EXPECT_EQ(Blob().toHex(), "");
    EXPECT_EQ(Blob().description(), "x''");
    const Blob b{0, 15, 255};
    EXPECT_EQ(b.toHex(), "000fff");
    EXPECT_EQ(b.description(), "x'000fff'");
    EXPECT_EQ((Blob{0x10, 0xab, 0x01}).toHex(), "10ab01");
}

TEST(SqlBlob, CopiesFromAddressAndComparesByBytes)
{
    const unsigned char raw[] = {1, 2, 3};
    Blob copied(raw, sizeof raw);
    EXPECT_EQ(copied, (Blob{1, 2, 3}));
    EXPECT_TRUE(Blob(nullptr, 0).empty());
    EXPECT_TRUE(Blob(raw, 0).empty());
    EXPECT_NE((Blob{1, 2}), (Blob{1, 2, 3}));
    EXPECT_NE((Blob{1, 2, 4}), (Blob{1, 2, 3}));
}

TEST(SqlValue, DeclaredDatatypes)
{
    EXPECT_EQ(ValueTraits<double>::declaredDatatype(), "REAL");
    EXPECT_EQ(ValueTraits<std::int64_t>::declaredDatatype(), "INTEGER");
    EXPECT_EQ(ValueTraits<int>::declaredDatatype(), "INTEGER");
    EXPECT_EQ(ValueTraits<bool>::declaredDatatype(), "INTEGER");
    EXPECT_EQ(ValueTraits<std::string>::declaredDatatype(), "TEXT");
    EXPECT_EQ(ValueTraits<Blob>::declaredDatatype(), "BLOB");
}

TEST(SqlValue, IntAndBoolNamesAreReplaceableSeparately)
{
    boolDeclaredDatatype() = "BOOLEAN";
    EXPECT_EQ(ValueTraits<bool>::declaredDatatype(), "BOOLEAN");
    EXPECT_EQ(ValueTraits<int>::declaredDatatype(), "INTEGER");
    intDeclaredDatatype() = "INT";
    EXPECT_EQ(ValueTraits<int>::declaredDatatype(), "INT");
    EXPECT_EQ(ValueTraits<std::int64_t>::declaredDatatype(), "INTEGER");
    boolDeclaredDatatype() = "INTEGER";
    intDeclaredDatatype() = "INTEGER";
}

TEST(SqlValue, StorageForms)
{
    EXPECT_EQ(toBinding(true), Binding(std::int64_t{1}));
    EXPECT_EQ(toBinding(false), Binding(std::int64_t{0}));
    EXPECT_EQ(toBinding(42), Binding(std::int64_t{42}));
    EXPECT_EQ(toBinding(std::int64_t{-7}), Binding(std::int64_t{-7}));
    EXPECT_EQ(toBinding(2.5), Binding(2.5));
    EXPECT_EQ(toBinding(std::string("x")), Binding(std::string("x")));
    EXPECT_EQ(toBinding(Blob{1}), Binding(Blob{1}));
    EXPECT_EQ(toBinding(std::optional<std::int64_t>{}), OptBinding{});
    EXPECT_EQ(toBinding(std::optional<bool>{true}), OptBinding(Binding(std::int64_t{1})));
}

TEST(SqlValue, ReadingFromBindings)
{
    EXPECT_EQ(valueFromBinding<bool>(Binding(std::int64_t{5})), true);
    EXPECT_EQ(valueFromBinding<bool>(Binding(std::int64_t{0})), false);
    EXPECT_EQ(valueFromBinding<std::int64_t>(Binding(std::int64_t{9})), 9);
    EXPECT_EQ(valueFromBinding<std::string>(Binding(std::string("a\0b", 3))), std::string("a\0b", 3));
    // NULL and a value of another storage class read as absent.
    EXPECT_EQ(valueFromBinding<std::int64_t>(std::nullopt), std::nullopt);
    EXPECT_EQ(valueFromBinding<std::int64_t>(Binding(std::string("12"))), std::nullopt);
    EXPECT_EQ(valueFromBinding<double>(Binding(std::int64_t{1})), std::nullopt);
    EXPECT_EQ(valueFromBinding<Blob>(Binding(Blob{})), Blob{});
}

TEST(SqlValue, IntRefusesNumbersOutsideItsRange)
{
    EXPECT_EQ(valueFromBinding<int>(Binding(std::int64_t{-2147483648LL})), -2147483647 - 1);
    EXPECT_THROW(valueFromBinding<int>(Binding(std::int64_t{1} << 40)), std::out_of_range);
}

static_assert(SQLValue<double> && SQLValue<std::int64_t> && SQLValue<int> && SQLValue<bool>
              && SQLValue<std::string> && SQLValue<Blob>);
static_assert(!SQLValue<std::optional<int>> && !SQLValue<float> && !SQLValue<const char*>);
static_assert(NumberValue<double> && NumberValue<int> && NumberValue<bool> && !NumberValue<std::string>);
static_assert(IntegerValue<std::int64_t> && IntegerValue<bool> && !IntegerValue<double>);
static_assert(std::same_as<unwrap_t<std::optional<int>>, int> && std::same_as<unwrap_t<int>, int>);
static_assert(is_optional_v<std::optional<int>> && !is_optional_v<int>);
static_assert(std::same_as<opt_if_t<bool, true>, std::optional<bool>> && std::same_as<opt_if_t<bool, false>, bool>);
