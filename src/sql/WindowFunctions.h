#pragma once

// Builders of SQLite's window functions over a window given by one ordering term:
// name(...) OVER (ORDER BY o). The bucket count of ntile is a bound value; the offset of lag and
// lead, the position of nth_value and the default value of lag and lead are written into the text.

#include "sql/Expression.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velquine::sql {

enum class WindowFunction {
    ntile,
    rowNumber,
    rank,
    denseRank,
    percentRank,
    cumeDist,
    lag,
    lead,
    firstValue,
    lastValue,
    nthValue,
};

// "ntile", "row_number", "rank", "dense_rank", "percent_rank", "cume_dist", "lag", "lead",
// "first_value", "last_value", "nth_value"
const std::string& rawValue(WindowFunction function);

namespace detail {

// call + " OVER (ORDER BY " + o + ")", the call's values first.
Expression<void> over(const Expression<void>& call, const Expression<void>& order);
// name(t, N[, D]) OVER (ORDER BY o) with N written as digits and D inlined; t's values, then o's.
Expression<void> offsetWindow(WindowFunction function, const Expression<void>& value, std::int64_t number,
                              const std::optional<Expression<void>>& defaultValue, const Expression<void>& order);

} // namespace detail

// ntile(?) OVER (ORDER BY o): the bucket (1 to `buckets`) of each row.
template <Expressible O> Expression<std::int64_t> ntile(std::int64_t buckets, const O& order)
{
    return retype<std::int64_t>(
        detail::over(wrapUntyped(rawValue(WindowFunction::ntile), parameter(Binding(buckets))), toExpression(order)));
}

// row_number() OVER (ORDER BY o)
template <Expressible O> Expression<std::int64_t> rowNumber(const O& order)
{
    return retype<std::int64_t>(detail::over(literal(rawValue(WindowFunction::rowNumber) + "()"), toExpression(order)));
}

// rank() OVER (ORDER BY o)
template <Expressible O> Expression<std::int64_t> rank(const O& order)
{
    return retype<std::int64_t>(detail::over(literal(rawValue(WindowFunction::rank) + "()"), toExpression(order)));
}

// dense_rank() OVER (ORDER BY o)
template <Expressible O> Expression<std::int64_t> denseRank(const O& order)
{
    return retype<std::int64_t>(detail::over(literal(rawValue(WindowFunction::denseRank) + "()"), toExpression(order)));
}

// percent_rank() OVER (ORDER BY o)
template <Expressible O> Expression<double> percentRank(const O& order)
{
    return retype<double>(detail::over(literal(rawValue(WindowFunction::percentRank) + "()"), toExpression(order)));
}

// cume_dist() OVER (ORDER BY o)
template <Expressible O> Expression<double> cumeDist(const O& order)
{
    return retype<double>(detail::over(literal(rawValue(WindowFunction::cumeDist) + "()"), toExpression(order)));
}

// first_value(t) OVER (ORDER BY o)
template <class T, Expressible O> Expression<T> firstValue(const Expression<T>& value, const O& order)
{
    return retype<T>(detail::over(wrapUntyped(rawValue(WindowFunction::firstValue), value), toExpression(order)));
}

// last_value(t) OVER (ORDER BY o)
template <class T, Expressible O> Expression<T> lastValue(const Expression<T>& value, const O& order)
{
    return retype<T>(detail::over(wrapUntyped(rawValue(WindowFunction::lastValue), value), toExpression(order)));
}

// nth_value(t, N) OVER (ORDER BY o)
template <class T, Expressible O> Expression<T> nthValue(const Expression<T>& value, std::int64_t position, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::nthValue, value, position, std::nullopt, toExpression(order)));
}

// lag(t, N) OVER (ORDER BY o), or lag(t, N, D) with the default's values written in as literals. The
// offset is 1 when not given.
template <class T, Expressible O> Expression<T> lag(const Expression<T>& value, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lag, value, 1, std::nullopt, toExpression(order)));
}
template <class T, Expressible O> Expression<T> lag(const Expression<T>& value, std::int64_t offset, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lag, value, offset, std::nullopt, toExpression(order)));
}
template <class T, Expressible D, Expressible O>
Expression<T> lag(const Expression<T>& value, std::int64_t offset, const D& defaultValue, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lag, value, offset, toExpression(defaultValue), toExpression(order)));
}

// lead(t, N) OVER (ORDER BY o), or lead(t, N, D); as lag.
template <class T, Expressible O> Expression<T> lead(const Expression<T>& value, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lead, value, 1, std::nullopt, toExpression(order)));
}
template <class T, Expressible O> Expression<T> lead(const Expression<T>& value, std::int64_t offset, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lead, value, offset, std::nullopt, toExpression(order)));
}
template <class T, Expressible D, Expressible O>
Expression<T> lead(const Expression<T>& value, std::int64_t offset, const D& defaultValue, const O& order)
{
    return retype<T>(detail::offsetWindow(WindowFunction::lead, value, offset, toExpression(defaultValue), toExpression(order)));
}

} // namespace velquine::sql
