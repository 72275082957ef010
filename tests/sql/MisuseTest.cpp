// Misuse of the typed SQL layer is refused by overload resolution: each check below names one operation and the
// operand types it must refuse, next to the counterpart it must accept, so a check fails only for the reason it
// states (a typo or a missing include makes the accepted counterpart fail too).

#include "sql/Query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

namespace sql = velquine::sql;
using sql::Blob;
using sql::Expression;
using sql::Table;

using Int = Expression<std::int64_t>;
using OptionalInt = Expression<std::optional<std::int64_t>>;
using Text = Expression<std::string>;
using Real = Expression<double>;
using Bytes = Expression<Blob>;
using Condition = Expression<bool>;
using Untyped = Expression<void>;
using Maybe = std::optional<std::int64_t>;

template <class C, class V> concept Settable = requires(const C& c, const V& v) { sql::set(c, v); };
template <class C, class V> concept AddAssignable = requires(const C& c, const V& v) { sql::addAssign(c, v); };
template <class C, class V> concept ConcatAssignable = requires(const C& c, const V& v) { sql::concatAssign(c, v); };
template <class C> concept Incrementable = requires(const C& c) { sql::increment(c); };
template <class A, class B> concept Equatable = requires(const A& a, const B& b) { a == b; };
template <class A, class B> concept Orderable = requires(const A& a, const B& b) { a < b; };
template <class A, class B> concept GreaterOrderable = requires(const A& a, const B& b) { a > b; };
template <class A, class B> concept Subtractable = requires(const A& a, const B& b) { a - b; };
template <class A, class B> concept Remaindered = requires(const A& a, const B& b) { a % b; };
template <class A, class B> concept Conjoinable = requires(const A& a, const B& b) { a && b; };
template <class A> concept Negatable = requires(const A& a) { -a; };
template <class A> concept Complementable = requires(const A& a) { ~a; };
template <class A> concept Invertible = requires(const A& a) { !a; };
template <class E> concept Filter = requires(const Table& t, const E& e) { t.filter(e); };
template <class E> concept JoinCondition = requires(const Table& t, const E& e) { t.join(t, e); };
template <class E> concept UpToRange = requires(const E& e) { sql::inRange(sql::UpTo{5}, e); };
template <class V> concept Value = requires(const V& v) { sql::value(v); };

} // namespace

TEST(SqlMisuse, AColumnTakesOnlyValuesOfItsOptionality)
{
    EXPECT_TRUE((Settable<OptionalInt, Maybe>));
    EXPECT_TRUE((Settable<OptionalInt, Int>));
    EXPECT_TRUE((Settable<Int, int>));
    EXPECT_FALSE((Settable<Int, Maybe>));
    EXPECT_FALSE((Settable<Int, OptionalInt>));
    EXPECT_FALSE((Settable<Untyped, int>));

    // Compound assignments follow the same rule, and each needs its own kind of column.
    EXPECT_TRUE((AddAssignable<OptionalInt, Int>));
    EXPECT_FALSE((AddAssignable<Int, OptionalInt>));
    EXPECT_TRUE(Incrementable<Int>);
    EXPECT_FALSE(Incrementable<Real>);
    EXPECT_TRUE((ConcatAssignable<Text, const char*>));
    EXPECT_FALSE((ConcatAssignable<Int, int>));
}

TEST(SqlMisuse, ComparisonsNeedOneValueTypeAndPlainValues)
{
    EXPECT_TRUE((Equatable<OptionalInt, Maybe>));
    EXPECT_TRUE((Equatable<Int, int>));
    EXPECT_TRUE((Equatable<Bytes, Blob>));
    EXPECT_FALSE((Equatable<Int, Maybe>));
    EXPECT_FALSE((Equatable<Int, Text>));
    EXPECT_FALSE((Equatable<Untyped, int>));

    EXPECT_TRUE((Orderable<Int, int>));
    EXPECT_FALSE((Orderable<Int, const char*>));
    EXPECT_FALSE((Orderable<Bytes, Blob>));
    EXPECT_FALSE((GreaterOrderable<OptionalInt, std::nullopt_t>));

    EXPECT_TRUE(UpToRange<Int>);
    EXPECT_FALSE(UpToRange<OptionalInt>);
}

TEST(SqlMisuse, OperatorsNeedOperandsOfTheirKind)
{
    EXPECT_TRUE((Subtractable<Int, int>));
    EXPECT_FALSE((Subtractable<Text, const char*>));
    EXPECT_TRUE((Remaindered<Int, int>));
    EXPECT_FALSE((Remaindered<Real, double>));
    EXPECT_TRUE(Negatable<Real>);
    EXPECT_FALSE(Negatable<Text>);
    EXPECT_TRUE(Complementable<Int>);
    EXPECT_FALSE(Complementable<Real>);

    // Logic takes conditions, and so do filters and join conditions.
    EXPECT_TRUE((Conjoinable<Condition, bool>));
    EXPECT_FALSE((Conjoinable<Int, Int>));
    EXPECT_TRUE(Invertible<Condition>);
    EXPECT_FALSE(Invertible<Int>);
    EXPECT_TRUE(Filter<Condition>);
    EXPECT_FALSE(Filter<Int>);
    EXPECT_TRUE(JoinCondition<Condition>);
    EXPECT_FALSE(JoinCondition<Int>);
}

TEST(SqlMisuse, OnlyTheLayersValueTypesBecomeValues)
{
    EXPECT_TRUE(Value<double>);
    EXPECT_TRUE(Value<std::int64_t>);
    EXPECT_FALSE(Value<float>);
}
