#pragma once

// Operators over typed expressions. Each returns a new expression whose template is the SQL of the
// operation; plain values become "?" parameters. Every binary operator encloses its result in
// parentheses, so nesting never depends on SQL precedence. The result is optional exactly when one
// operand is an expression of an optional type.
//
// Operand forms (V a value type; both operands share it):
//   expression op expression   (either side may be optional)
//   expression op value        value op expression
// For == and != (and is / isNot) the value next to an optional expression is itself optional; an
// absent one is bound as NULL and the operator becomes IS / IS NOT.

#include "sql/Expression.h"

#include <concepts>
#include <optional>
#include <type_traits>
#include <vector>

namespace velquine::sql {

namespace detail {

template <class L, class R>
concept SameValue = SQLValue<unwrap_t<L>> && std::same_as<unwrap_t<L>, unwrap_t<R>>;

template <class L, class R> inline constexpr bool anyOptional = is_optional_v<L> || is_optional_v<R>;

template <class V> concept EquatableValue = SQLValue<V>;
template <class V> concept OrderedValue = SQLValue<V> && !std::same_as<datatype_t<V>, Blob>;
template <class V> concept BoolValue = std::same_as<V, bool>;
template <class V> concept TextValue = std::same_as<V, std::string>;

template <class V> using BoolResult = bool;
template <class V> using SameResult = V;

} // namespace detail

// Operators on two operands in the eight forms: expression/expression (any optionality),
// expression/value, value/expression. RESULT maps the value type to the result's value type.
#define VQ_SQL_BINARY_OPERATOR(OP, TOKEN, CONCEPT, RESULT)                                                    \
    template <class L, class R>                                                                               \
        requires detail::SameValue<L, R> && CONCEPT<unwrap_t<L>>                                              \
    Expression<opt_if_t<RESULT<unwrap_t<L>>, detail::anyOptional<L, R>>> operator OP(const Expression<L>& lhs, \
                                                                                     const Expression<R>& rhs) \
    {                                                                                                         \
        return infix<opt_if_t<RESULT<unwrap_t<L>>, detail::anyOptional<L, R>>>(lhs, rhs, TOKEN);              \
    }                                                                                                         \
    template <class L>                                                                                        \
        requires SQLValue<unwrap_t<L>> && CONCEPT<unwrap_t<L>>                                                \
    Expression<opt_if_t<RESULT<unwrap_t<L>>, is_optional_v<L>>> operator OP(                                  \
        const Expression<L>& lhs, const std::type_identity_t<unwrap_t<L>>& rhs)                               \
    {                                                                                                         \
        return infix<opt_if_t<RESULT<unwrap_t<L>>, is_optional_v<L>>>(lhs, toExpression(rhs), TOKEN);        \
    }                                                                                                         \
    template <class R>                                                                                        \
        requires SQLValue<unwrap_t<R>> && CONCEPT<unwrap_t<R>>                                                \
    Expression<opt_if_t<RESULT<unwrap_t<R>>, is_optional_v<R>>> operator OP(                                  \
        const std::type_identity_t<unwrap_t<R>>& lhs, const Expression<R>& rhs)                               \
    {                                                                                                         \
        return infix<opt_if_t<RESULT<unwrap_t<R>>, is_optional_v<R>>>(toExpression(lhs), rhs, TOKEN);        \
    }

// ---- comparison ---------------------------------------------------------------------------------

namespace detail {

// The value operand of ==, !=, is, isNot: absent values switch the operator to its IS form.
template <class V> inline Expression<void> equalityValue(const V& v) { return toExpression(v); }

template <class V> inline bool isAbsent(const V&) { return false; }
template <class V> inline bool isAbsent(const std::optional<V>& v) { return !v.has_value(); }

} // namespace detail

// Equality family: expression/expression writes its own operator always; a value operand that is an
// absent optional writes `absentToken` instead.
#define VQ_SQL_EQUALITY_OPERATOR(SIGNATURE_LR, SIGNATURE_LV, SIGNATURE_VR, TOKEN, ABSENT_TOKEN)               \
    template <class L, class R>                                                                               \
        requires detail::SameValue<L, R> && detail::EquatableValue<unwrap_t<L>>                               \
    Expression<opt_if_t<bool, detail::anyOptional<L, R>>> SIGNATURE_LR(const Expression<L>& lhs,              \
                                                                        const Expression<R>& rhs)             \
    {                                                                                                         \
        return infix<opt_if_t<bool, detail::anyOptional<L, R>>>(lhs, rhs, TOKEN);                             \
    }                                                                                                         \
    template <class L>                                                                                        \
        requires SQLValue<unwrap_t<L>> && detail::EquatableValue<unwrap_t<L>>                                 \
    Expression<opt_if_t<bool, is_optional_v<L>>> SIGNATURE_LV(const Expression<L>& lhs,                       \
                                                              const std::type_identity_t<L>& rhs)             \
    {                                                                                                         \
        return infix<opt_if_t<bool, is_optional_v<L>>>(lhs, toExpression(rhs),                                \
                                                       detail::isAbsent(rhs) ? ABSENT_TOKEN : TOKEN);         \
    }                                                                                                         \
    template <class R>                                                                                        \
        requires SQLValue<unwrap_t<R>> && detail::EquatableValue<unwrap_t<R>>                                 \
    Expression<opt_if_t<bool, is_optional_v<R>>> SIGNATURE_VR(const std::type_identity_t<R>& lhs,             \
                                                              const Expression<R>& rhs)                       \
    {                                                                                                         \
        return infix<opt_if_t<bool, is_optional_v<R>>>(toExpression(lhs), rhs,                                \
                                                       detail::isAbsent(lhs) ? ABSENT_TOKEN : TOKEN);         \
    }

VQ_SQL_EQUALITY_OPERATOR(operator==, operator==, operator==, "=", "IS")
VQ_SQL_EQUALITY_OPERATOR(operator!=, operator!=, operator!=, "!=", "IS NOT")
// SQL's IS and IS NOT, which treat NULL as a comparable value.
VQ_SQL_EQUALITY_OPERATOR(is, is, is, "IS", "IS")
VQ_SQL_EQUALITY_OPERATOR(isNot, isNot, isNot, "IS NOT", "IS NOT")

VQ_SQL_BINARY_OPERATOR(>, ">", detail::OrderedValue, detail::BoolResult)
VQ_SQL_BINARY_OPERATOR(>=, ">=", detail::OrderedValue, detail::BoolResult)
VQ_SQL_BINARY_OPERATOR(<, "<", detail::OrderedValue, detail::BoolResult)
VQ_SQL_BINARY_OPERATOR(<=, "<=", detail::OrderedValue, detail::BoolResult)

// ---- range tests (no enclosing parentheses) -----------------------------------------------------

// lower ... upper, both included
template <class T> struct ClosedRange {
    T lower;
    T upper;
};
// lower ..< upper
template <class T> struct HalfOpen {
    T lower;
    T upper;
};
// ... upper (inclusive) or ..< upper (not inclusive)
template <class T> struct UpTo {
    T upper;
    bool inclusive = true;
};
// lower ...
template <class T> struct From {
    T lower;
};
template <class T> ClosedRange(T, T) -> ClosedRange<T>;
template <class T> HalfOpen(T, T) -> HalfOpen<T>;
template <class T> UpTo(T) -> UpTo<T>;
template <class T> UpTo(T, bool) -> UpTo<T>;
template <class T> From(T) -> From<T>;

template <class T, class B>
    requires detail::OrderedValue<unwrap_t<T>> && std::convertible_to<B, unwrap_t<T>>
Expression<opt_if_t<bool, is_optional_v<T>>> inRange(const ClosedRange<B>& range, const Expression<T>& e)
{
    std::vector<OptBinding> bindings = e.bindings;
    bindings.push_back(toBinding(unwrap_t<T>(range.lower)));
    bindings.push_back(toBinding(unwrap_t<T>(range.upper)));
    return Expression<opt_if_t<bool, is_optional_v<T>>>(e.templ + " BETWEEN ? AND ?", std::move(bindings));
}

template <class T, class B>
    requires detail::OrderedValue<unwrap_t<T>> && std::convertible_to<B, unwrap_t<T>>
Expression<opt_if_t<bool, is_optional_v<T>>> inRange(const HalfOpen<B>& range, const Expression<T>& e)
{
    std::vector<OptBinding> bindings = e.bindings;
    bindings.push_back(toBinding(unwrap_t<T>(range.lower)));
    bindings.insert(bindings.end(), e.bindings.begin(), e.bindings.end());
    bindings.push_back(toBinding(unwrap_t<T>(range.upper)));
    return Expression<opt_if_t<bool, is_optional_v<T>>>(e.templ + " >= ? AND " + e.templ + " < ?",
                                                        std::move(bindings));
}

template <class T, class B>
    requires detail::OrderedValue<T> && std::convertible_to<B, T>
Expression<bool> inRange(const UpTo<B>& range, const Expression<T>& e)
{
    std::vector<OptBinding> bindings = e.bindings;
    bindings.push_back(toBinding(T(range.upper)));
    return Expression<bool>(e.templ + (range.inclusive ? " <= ?" : " < ?"), std::move(bindings));
}

template <class T, class B>
    requires detail::OrderedValue<T> && std::convertible_to<B, T>
Expression<bool> inRange(const From<B>& range, const Expression<T>& e)
{
    std::vector<OptBinding> bindings = e.bindings;
    bindings.push_back(toBinding(T(range.lower)));
    return Expression<bool>(e.templ + " >= ?", std::move(bindings));
}

// ---- logical ------------------------------------------------------------------------------------

VQ_SQL_BINARY_OPERATOR(&&, "AND", detail::BoolValue, detail::BoolResult)
VQ_SQL_BINARY_OPERATOR(||, "OR", detail::BoolValue, detail::BoolResult)

template <class T>
    requires std::same_as<unwrap_t<T>, bool>
Expression<T> operator!(const Expression<T>& e)
{
    return wrap<T>("NOT ", e);
}

// All terms joined with AND (any with OR), in parentheses. An empty list is the condition that always
// holds (for allOf) or never holds (for anyOf).
Expression<bool> allOf(const std::vector<Expression<bool>>& terms);
Expression<bool> anyOf(const std::vector<Expression<bool>>& terms);

// ---- arithmetic, bitwise, concatenation ---------------------------------------------------------

VQ_SQL_BINARY_OPERATOR(+, "+", NumberValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(-, "-", NumberValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(*, "*", NumberValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(/, "/", NumberValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(%, "%", IntegerValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(<<, "<<", IntegerValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(>>, ">>", IntegerValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(&, "&", IntegerValue, detail::SameResult)
VQ_SQL_BINARY_OPERATOR(|, "|", IntegerValue, detail::SameResult)
// Text concatenation.
VQ_SQL_BINARY_OPERATOR(+, "||", detail::TextValue, detail::SameResult)

template <class T>
    requires NumberValue<unwrap_t<T>>
Expression<T> operator-(const Expression<T>& e)
{
    return wrap<T>("-", e);
}

template <class T>
    requires IntegerValue<unwrap_t<T>>
Expression<T> operator~(const Expression<T>& e)
{
    return wrap<T>("~", e);
}

namespace detail {

// Exclusive or built from &, | and ~: (~((a & b)) & (a | b)). Each operand appears twice.
Expression<void> exclusiveOr(const Expression<void>& a, const Expression<void>& b);

} // namespace detail

template <class L, class R>
    requires detail::SameValue<L, R> && IntegerValue<unwrap_t<L>>
Expression<opt_if_t<unwrap_t<L>, detail::anyOptional<L, R>>> operator^(const Expression<L>& lhs,
                                                                        const Expression<R>& rhs)
{
    return retype<opt_if_t<unwrap_t<L>, detail::anyOptional<L, R>>>(detail::exclusiveOr(lhs, rhs));
}
template <class L>
    requires IntegerValue<unwrap_t<L>>
Expression<L> operator^(const Expression<L>& lhs, const std::type_identity_t<unwrap_t<L>>& rhs)
{
    return retype<L>(detail::exclusiveOr(lhs, toExpression(rhs)));
}
template <class R>
    requires IntegerValue<unwrap_t<R>>
Expression<R> operator^(const std::type_identity_t<unwrap_t<R>>& lhs, const Expression<R>& rhs)
{
    return retype<R>(detail::exclusiveOr(toExpression(lhs), rhs));
}

#undef VQ_SQL_BINARY_OPERATOR
#undef VQ_SQL_EQUALITY_OPERATOR

} // namespace velquine::sql
