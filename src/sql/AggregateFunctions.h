#pragma once

// Builders of SQLite's aggregate functions count, max, min, avg, sum and total, and of the DISTINCT
// modifier, for the select list and the HAVING condition of a grouped query. Each keeps the values
// of its argument and adds none.

#include "sql/CoreFunctions.h"
#include "sql/Expression.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velquine::sql {

// "DISTINCT t": restricts the aggregate it is handed to to distinct values (count(DISTINCT t)).
template <class T> Expression<T> distinct(const Expression<T>& e)
{
    return Expression<T>("DISTINCT " + e.templ, e.bindings);
}

// count(t): the number of rows in which t is not NULL.
template <class T>
    requires SQLValue<unwrap_t<T>>
Expression<std::int64_t> count(const Expression<T>& e)
{
    return wrap<std::int64_t>("count", e);
}

// count(*): the number of rows.
inline Expression<std::int64_t> count(Star s)
{
    return wrap<std::int64_t>("count", toExpression(s));
}

// max(t) and min(t): NULL for a group without values, so a plain receiver gives an optional result.
template <class T>
    requires SQLValue<unwrap_t<T>>
Expression<std::optional<unwrap_t<T>>> max(const Expression<T>& e)
{
    return wrap<std::optional<unwrap_t<T>>>("max", e);
}
template <class T>
    requires SQLValue<unwrap_t<T>>
Expression<std::optional<unwrap_t<T>>> min(const Expression<T>& e)
{
    return wrap<std::optional<unwrap_t<T>>>("min", e);
}

// avg(t): a floating-point mean, NULL for a group without values.
template <detail::NumberOrOptional T> Expression<std::optional<double>> avg(const Expression<T>& e)
{
    return wrap<std::optional<double>>("avg", e);
}

// sum(t): NULL for a group without values.
template <detail::NumberOrOptional T> Expression<std::optional<unwrap_t<T>>> sum(const Expression<T>& e)
{
    return wrap<std::optional<unwrap_t<T>>>("sum", e);
}

// total(t): a floating-point sum, 0.0 for a group without values.
template <detail::NumberOrOptional T> Expression<double> total(const Expression<T>& e)
{
    return wrap<double>("total", e);
}

} // namespace velquine::sql
