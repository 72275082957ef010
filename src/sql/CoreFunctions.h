#pragma once

// Builders of SQLite's core scalar functions (abs, round, random, length, lower, upper, the trim
// family, replace, substr, ifnull) and of its matching and membership operators (LIKE, GLOB, MATCH,
// REGEXP, IN). Each returns a new expression; plain values become "?" parameters, and the values of
// the result follow the order of the "?" in its text. Nothing here checks its input: SQLite judges
// the statement when it is prepared or run.

#include "sql/Collation.h"
#include "sql/Expression.h"
#include "sql/Operators.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <ranges>
#include <string>
#include <type_traits>
#include <vector>

namespace velquine::sql {

// The SQL names the builders below write: function names in lower case, operator keywords in upper
// case.
enum class CoreFunction {
    abs,
    round,
    random,
    randomblob,
    zeroblob,
    length,
    lower,
    upper,
    ltrim,
    rtrim,
    trim,
    replace,
    substr,
    like,
    in,
    glob,
    match,
    regexp,
    collate,
    ifnull,
};

const std::string& rawValue(CoreFunction function);

// name(argument), the argument's values unchanged.
template <class R = void> Expression<R> wrap(CoreFunction function, const Expression<void>& argument)
{
    return retype<R>(wrapUntyped(rawValue(function), argument));
}
// name(a, b, ...), the values in argument order; no arguments give name().
template <class R = void> Expression<R> wrap(CoreFunction function, const std::vector<Expression<void>>& arguments)
{
    return retype<R>(wrapUntyped(rawValue(function), join(", ", arguments)));
}

namespace detail {

template <class T> concept TextOrOptional = std::same_as<unwrap_t<T>, std::string>;
template <class T> concept NumberOrOptional = NumberValue<unwrap_t<T>>;
template <class T> concept RealOrOptional = SQLValue<unwrap_t<T>> && std::same_as<datatype_t<unwrap_t<T>>, double>;

// (lhs OP rhs)
template <class R> Expression<R> infixCall(const Expression<void>& lhs, CoreFunction op, const Expression<void>& rhs)
{
    return retype<R>(wrapUntyped("", infixUntyped(lhs, rhs, rawValue(op), false)));
}

Expression<void> trimCall(CoreFunction function, const Expression<void>& text,
                          const std::optional<std::string>& characters);
Expression<void> likeCall(const Expression<void>& text, const Expression<void>& pattern,
                          std::optional<char32_t> escape);
Expression<void> substrCall(const Expression<void>& text, std::int64_t location, std::optional<std::int64_t> length);
// upper - lower, or the largest 64-bit number when the difference does not fit.
std::int64_t rangeLength(std::int64_t lower, std::int64_t upper);

} // namespace detail

// ---- numbers ------------------------------------------------------------------------------------

// abs(t)
template <detail::NumberOrOptional T> Expression<T> abs(const Expression<T>& number)
{
    return wrap<T>(CoreFunction::abs, number);
}

// round(t), or round(t, ?) with the precision bound as an integer.
template <detail::RealOrOptional T>
Expression<T> round(const Expression<T>& number, std::optional<std::int64_t> precision = std::nullopt)
{
    if (!precision)
        return wrap<T>(CoreFunction::round, number);
    return wrap<T>(CoreFunction::round, std::vector<Expression<void>>{number, parameter(Binding(*precision))});
}

// random(): a pseudo-random signed 64-bit integer, typed as T.
template <class T = std::int64_t> Expression<T> random()
{
    return wrap<T>(CoreFunction::random, std::vector<Expression<void>>{});
}

// randomblob(?): `length` pseudo-random bytes (SQLite makes at least one).
Expression<Blob> randomblob(std::int64_t length);
// zeroblob(?): `length` zero bytes.
Expression<Blob> zeroblob(std::int64_t length);

// ---- text ---------------------------------------------------------------------------------------

// length(t): the number of characters; NULL for a NULL text.
template <detail::TextOrOptional T> Expression<opt_if_t<std::int64_t, is_optional_v<T>>> length(const Expression<T>& text)
{
    return wrap<opt_if_t<std::int64_t, is_optional_v<T>>>(CoreFunction::length, text);
}

// lower(t)
template <detail::TextOrOptional T> Expression<T> lower(const Expression<T>& text)
{
    return wrap<T>(CoreFunction::lower, text);
}

// upper(t)
template <detail::TextOrOptional T> Expression<T> upper(const Expression<T>& text)
{
    return wrap<T>(CoreFunction::upper, text);
}

// ltrim(t), or ltrim(t, ?) with `characters` (each of its characters is removed; the order does not
// matter) bound as one text. The same for rtrim and trim.
template <detail::TextOrOptional T>
Expression<T> ltrim(const Expression<T>& text, const std::optional<std::string>& characters = std::nullopt)
{
    return retype<T>(detail::trimCall(CoreFunction::ltrim, text, characters));
}
template <detail::TextOrOptional T>
Expression<T> rtrim(const Expression<T>& text, const std::optional<std::string>& characters = std::nullopt)
{
    return retype<T>(detail::trimCall(CoreFunction::rtrim, text, characters));
}
template <detail::TextOrOptional T>
Expression<T> trim(const Expression<T>& text, const std::optional<std::string>& characters = std::nullopt)
{
    return retype<T>(detail::trimCall(CoreFunction::trim, text, characters));
}

// replace(t, ?, ?): every occurrence of `pattern` replaced by `replacement`.
template <detail::TextOrOptional T>
Expression<T> replace(const Expression<T>& text, const std::string& pattern, const std::string& replacement)
{
    return wrap<T>(CoreFunction::replace,
                   std::vector<Expression<void>>{text, parameter(Binding(pattern)), parameter(Binding(replacement))});
}

// substr(t, ?) or substr(t, ?, ?): the characters from `location` (1 is the first), `length` of them
// when given.
template <detail::TextOrOptional T>
Expression<T> substr(const Expression<T>& text, std::int64_t location,
                     std::optional<std::int64_t> length = std::nullopt)
{
    return retype<T>(detail::substrCall(text, location, length));
}
// substr(t, ?, ?) over a half-open range: location = lower bound, length = upper - lower.
template <detail::TextOrOptional T, std::signed_integral I>
Expression<T> substr(const Expression<T>& text, const HalfOpen<I>& range)
{
    const auto lower = static_cast<std::int64_t>(range.lower);
    return retype<T>(detail::substrCall(text, lower, detail::rangeLength(lower, static_cast<std::int64_t>(range.upper))));
}

// ---- matching -----------------------------------------------------------------------------------

// (t LIKE ?), or "(t LIKE ? ESCAPE ?)" with the escape character bound as a one-character text.
template <detail::TextOrOptional T>
Expression<opt_if_t<bool, is_optional_v<T>>> like(const Expression<T>& text, const std::string& pattern,
                                                  std::optional<char32_t> escape = std::nullopt)
{
    return retype<opt_if_t<bool, is_optional_v<T>>>(detail::likeCall(text, parameter(Binding(pattern)), escape));
}
// (t LIKE p), or "(t LIKE p ESCAPE ?)", with a pattern expression.
template <detail::TextOrOptional T, detail::TextOrOptional P>
Expression<opt_if_t<bool, is_optional_v<T>>> like(const Expression<T>& text, const Expression<P>& pattern,
                                                  std::optional<char32_t> escape = std::nullopt)
{
    return retype<opt_if_t<bool, is_optional_v<T>>>(detail::likeCall(text, pattern, escape));
}
// (? LIKE p), or "(? LIKE p ESCAPE ?)": a plain text matched against a pattern expression.
template <detail::TextOrOptional P>
Expression<bool> like(const std::string& text, const Expression<P>& pattern, std::optional<char32_t> escape = std::nullopt)
{
    return retype<bool>(detail::likeCall(parameter(Binding(text)), pattern, escape));
}

// (t GLOB ?)
template <detail::TextOrOptional T>
Expression<opt_if_t<bool, is_optional_v<T>>> glob(const Expression<T>& text, const std::string& pattern)
{
    return detail::infixCall<opt_if_t<bool, is_optional_v<T>>>(text, CoreFunction::glob, parameter(Binding(pattern)));
}

// (t MATCH ?): needs a full-text table on the left.
inline Expression<bool> match(const Expression<std::string>& text, const std::string& pattern)
{
    return detail::infixCall<bool>(text, CoreFunction::match, parameter(Binding(pattern)));
}

// (t REGEXP ?): needs a function named regexp on the connection.
template <detail::TextOrOptional T>
Expression<opt_if_t<bool, is_optional_v<T>>> regexp(const Expression<T>& text, const std::string& pattern)
{
    return detail::infixCall<opt_if_t<bool, is_optional_v<T>>>(text, CoreFunction::regexp, parameter(Binding(pattern)));
}

// (e IN (?, ?, ...)): one "?" per element, bound in the collection's order; an empty collection gives
// (e IN ()).
template <std::ranges::input_range C, class T>
    requires SQLValue<unwrap_t<T>> && std::convertible_to<std::ranges::range_reference_t<C>, unwrap_t<T>>
Expression<opt_if_t<bool, is_optional_v<T>>> contains(const C& values, const Expression<T>& element)
{
    using V = unwrap_t<T>;
    std::vector<Expression<void>> placeholders;
    for (const auto& v : values)
        placeholders.push_back(parameter(toBinding(V(v))));
    return detail::infixCall<opt_if_t<bool, is_optional_v<T>>>(element, CoreFunction::in,
                                                               wrapUntyped("", join(", ", placeholders)));
}

// ---- NULL replacement ---------------------------------------------------------------------------

// ifnull(a, ?): the value of `optional`, or `fallback` where it is NULL.
template <SQLValue V>
Expression<V> ifnull(const Expression<std::optional<V>>& optional, const std::type_identity_t<V>& fallback)
{
    return wrap<V>(CoreFunction::ifnull, std::vector<Expression<void>>{optional, toExpression(fallback)});
}
// ifnull(a, b)
template <SQLValue V> Expression<V> ifnull(const Expression<std::optional<V>>& optional, const Expression<V>& fallback)
{
    return wrap<V>(CoreFunction::ifnull, std::vector<Expression<void>>{optional, fallback});
}
// ifnull(a, b) with an optional fallback. Typed as V like the other forms: when both are NULL,
// reading the result as V reports an unexpected NULL value.
template <SQLValue V>
Expression<V> ifnull(const Expression<std::optional<V>>& optional, const Expression<std::optional<V>>& fallback)
{
    return wrap<V>(CoreFunction::ifnull, std::vector<Expression<void>>{optional, fallback});
}

} // namespace velquine::sql
