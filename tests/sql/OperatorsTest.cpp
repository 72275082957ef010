#include "sql/Operators.h"
#include "support/SqlText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

using velquine::testing::expectSql;

namespace {

OptBinding i64(std::int64_t v) { return Binding(v); }
OptBinding text(const std::string& v) { return Binding(v); }
const OptBinding null = std::nullopt;
using Bindings = std::vector<OptBinding>;

const Expression<std::int64_t> a("a");
const Expression<std::int64_t> b("b");
const Expression<std::int64_t> c("c");
const Expression<std::optional<std::int64_t>> oa("a");
const Expression<std::optional<std::int64_t>> ob("b");
const Expression<bool> flag("flag");
const Expression<std::optional<bool>> oflag("oflag");
const Expression<std::string> name("name");
const Expression<std::optional<std::string>> nick("nick");

} // namespace

TEST(SqlComparison, EveryOperatorInEveryForm)
{
    expectSql(a == b, "(\"a\" = \"b\")", {});
    expectSql(a != b, "(\"a\" != \"b\")", {});
    expectSql(a > b, "(\"a\" > \"b\")", {});
    expectSql(a >= b, "(\"a\" >= \"b\")", {});
    expectSql(a < b, "(\"a\" < \"b\")", {});
    expectSql(a <= b, "(\"a\" <= \"b\")", {});
    expectSql(is(a, b), "(\"a\" IS \"b\")", {});
    expectSql(isNot(a, b), "(\"a\" IS NOT \"b\")", {});
    // forms 2-4 (optional expressions) write = and != too, never IS
    expectSql(a == ob, "(\"a\" = \"b\")", {});
    expectSql(oa == b, "(\"a\" = \"b\")", {});
    expectSql(oa == ob, "(\"a\" = \"b\")", {});
    expectSql(oa != ob, "(\"a\" != \"b\")", {});
    expectSql(oa < ob, "(\"a\" < \"b\")", {});
    // form 5 and 7
    expectSql(a > 30, "(\"a\" > ?)", {i64(30)});
    expectSql(3 < a, "(? < \"a\")", {i64(3)});
    expectSql(a == 4, "(\"a\" = ?)", {i64(4)});
    expectSql(4 != a, "(? != \"a\")", {i64(4)});
    expectSql(a >= 1, "(\"a\" >= ?)", {i64(1)});
    expectSql(2 <= a, "(? <= \"a\")", {i64(2)});
    // forms 6 and 8 of the ordered operators take a plain value
    expectSql(oa > 5, "(\"a\" > ?)", {i64(5)});
    expectSql(5 >= oa, "(? >= \"a\")", {i64(5)});
    expectSql(name < "m", "(\"name\" < ?)", {text("m")});
}

TEST(SqlComparison, AbsentOptionalValueSwitchesToIs)
{
    expectSql(oa == std::nullopt, "(\"a\" IS ?)", {null});
    expectSql(oa == std::optional<std::int64_t>{5}, "(\"a\" = ?)", {i64(5)});
    expectSql(oa == 5, "(\"a\" = ?)", {i64(5)});
    expectSql(oa != std::nullopt, "(\"a\" IS NOT ?)", {null});
    expectSql(oa != 6, "(\"a\" != ?)", {i64(6)});
    expectSql(std::nullopt == oa, "(? IS \"a\")", {null});
    expectSql(std::nullopt != oa, "(? IS NOT \"a\")", {null});
    expectSql(is(std::nullopt, oa), "(? IS \"a\")", {null});
    expectSql(is(oa, std::nullopt), "(\"a\" IS ?)", {null});
    expectSql(is(oa, 2), "(\"a\" IS ?)", {i64(2)});
    expectSql(isNot(oa, std::nullopt), "(\"a\" IS NOT ?)", {null});
    expectSql(isNot(7, oa), "(? IS NOT \"a\")", {i64(7)});
    expectSql(nick == std::nullopt, "(\"nick\" IS ?)", {null});
    expectSql(nick == "bo", "(\"nick\" = ?)", {text("bo")});
}

TEST(SqlComparison, ResultTypesFollowOptionality)
{
    static_assert(std::same_as<decltype(a == b), Expression<bool>>);
    static_assert(std::same_as<decltype(a == ob), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(oa == b), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(oa < ob), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(a > 1), Expression<bool>>);
    static_assert(std::same_as<decltype(oa > 1), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(1 > oa), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(oa == std::nullopt), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(a + ob), Expression<std::optional<std::int64_t>>>);
    static_assert(std::same_as<decltype(a + b), Expression<std::int64_t>>);
    static_assert(std::same_as<decltype(name + nick), Expression<std::optional<std::string>>>);
    static_assert(std::same_as<decltype(!oflag), Expression<std::optional<bool>>>);
    static_assert(std::same_as<decltype(-oa), Expression<std::optional<std::int64_t>>>);
    static_assert(std::same_as<decltype(oa ^ 3), Expression<std::optional<std::int64_t>>>);
    SUCCEED();
}

TEST(SqlRange, BoundsAreBoundWithoutParentheses)
{
    const Expression<std::int64_t> n("n");
    expectSql(inRange(ClosedRange{1, 5}, n), "\"n\" BETWEEN ? AND ?", {i64(1), i64(5)});
    expectSql(inRange(HalfOpen{1, 5}, n), "\"n\" >= ? AND \"n\" < ?", {i64(1), i64(5)});
    expectSql(inRange(UpTo{9}, n), "\"n\" <= ?", {i64(9)});
    expectSql(inRange(UpTo{9, false}, n), "\"n\" < ?", {i64(9)});
    expectSql(inRange(From{2}, n), "\"n\" >= ?", {i64(2)});
    Expression<std::optional<bool>> optionalClosed = inRange(ClosedRange{1, 5}, oa);
    expectSql(optionalClosed, "\"a\" BETWEEN ? AND ?", {i64(1), i64(5)});
    // An expression with its own binding repeats it in the half-open test.
    Expression<std::string> lowered("lower(?)", {text("x")});
    expectSql(inRange(HalfOpen<std::string>{"a", "m"}, lowered), "lower(?) >= ? AND lower(?) < ?",
              {text("x"), text("a"), text("x"), text("m")});
    expectSql(inRange(ClosedRange{0.5, 1.5}, Expression<double>("d")), "\"d\" BETWEEN ? AND ?",
              {Binding(0.5), Binding(1.5)});
}

TEST(SqlLogical, AndOrNotAllAny)
{
    expectSql((a == 1) && (b == 2), "((\"a\" = ?) AND (\"b\" = ?))", {i64(1), i64(2)});
    expectSql((a == 1) || (b == 2), "((\"a\" = ?) OR (\"b\" = ?))", {i64(1), i64(2)});
    expectSql(flag && true, "(\"flag\" AND ?)", {i64(1)});
    expectSql(false || flag, "(? OR \"flag\")", {i64(0)});
    expectSql(oflag && flag, "(\"oflag\" AND \"flag\")", {});
    expectSql(oflag || true, "(\"oflag\" OR ?)", {i64(1)});
    expectSql(!flag, "NOT (\"flag\")", {});
    expectSql(!(a > 1), "NOT ((\"a\" > ?))", {i64(1)});
    // bindings keep their places
    Expression<bool> one("?", {i64(1)});
    Expression<bool> twoThree("(? = ?)", {i64(2), i64(3)});
    expectSql(one && twoThree, "(? AND (? = ?))", {i64(1), i64(2), i64(3)});
    expectSql(allOf({a == 1, b == 2, c == 3}), "((\"a\" = ?) AND (\"b\" = ?) AND (\"c\" = ?))",
              {i64(1), i64(2), i64(3)});
    expectSql(anyOf({a == 1, b == 2}), "((\"a\" = ?) OR (\"b\" = ?))", {i64(1), i64(2)});
    expectSql(allOf({flag}), "(\"flag\")", {});
    expectSql(anyOf({flag}), "(\"flag\")", {});
    // An empty list is still a valid condition.
    expectSql(allOf({}), "(1)", {});
    expectSql(anyOf({}), "(0)", {});
}

TEST(SqlArithmetic, EveryOperatorWithItsParentheses)
{
    expectSql(a + b, "(\"a\" + \"b\")", {});
    expectSql((a + b) * c, "((\"a\" + \"b\") * \"c\")", {});
    expectSql(a - b, "(\"a\" - \"b\")", {});
    expectSql(1 - a, "(? - \"a\")", {i64(1)});
    expectSql(a / 2, "(\"a\" / ?)", {i64(2)});
    expectSql(a % 3, "(\"a\" % ?)", {i64(3)});
    expectSql(a << 1, "(\"a\" << ?)", {i64(1)});
    expectSql(a >> b, "(\"a\" >> \"b\")", {});
    expectSql(a & 0xff, "(\"a\" & ?)", {i64(255)});
    expectSql(a | b, "(\"a\" | \"b\")", {});
    expectSql(4 | oa, "(? | \"a\")", {i64(4)});
    expectSql(oa * ob, "(\"a\" * \"b\")", {});
    expectSql(-a, "-(\"a\")", {});
    expectSql(-(a + b), "-((\"a\" + \"b\"))", {});
    expectSql(~a, "~(\"a\")", {});
    expectSql(~(a & b), "~((\"a\" & \"b\"))", {});
    const Expression<double> d("d");
    expectSql(d * 2.5, "(\"d\" * ?)", {Binding(2.5)});
    expectSql(-d, "-(\"d\")", {});
}

TEST(SqlArithmetic, ExclusiveOrRepeatsItsOperands)
{
    expectSql(a ^ b, "(~((\"a\" & \"b\")) & (\"a\" | \"b\"))", {});
    expectSql(a ^ 6, "(~((\"a\" & ?)) & (\"a\" | ?))", {i64(6), i64(6)});
    expectSql(6 ^ a, "(~((? & \"a\")) & (? | \"a\"))", {i64(6), i64(6)});
    Expression<std::int64_t> bound("(? + 1)", {i64(9)});
    expectSql(bound ^ b, "(~(((? + 1) & \"b\")) & ((? + 1) | \"b\"))", {i64(9), i64(9)});
    expectSql(oa ^ ob, "(~((\"a\" & \"b\")) & (\"a\" | \"b\"))", {});
}

TEST(SqlArithmetic, TextConcatenation)
{
    expectSql(name + "x", "(\"name\" || ?)", {text("x")});
    expectSql("x" + name, "(? || \"name\")", {text("x")});
    expectSql(name + nick, "(\"name\" || \"nick\")", {});
    expectSql(nick + "!", "(\"nick\" || ?)", {text("!")});
}

TEST(SqlArithmetic, IntegerOperatorsOnBool)
{
    expectSql(flag % true, "(\"flag\" % ?)", {i64(1)});
    expectSql(flag + flag, "(\"flag\" + \"flag\")", {});
}
