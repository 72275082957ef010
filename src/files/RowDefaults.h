#pragma once

// Typed reads with a fallback: the value of a column, or the given default when the value is NULL,
// of another storage class, or cannot be read at all (no such column, for instance). Nothing is
// reported.

#include "sql/Expression.h"
#include "sql/Row.h"

#include <optional>

namespace velquine {

template <sql::SQLValue V>
V get(const sql::Row& row, const sql::Expression<std::optional<V>>& column, const V& fallback)
{
    std::optional<V> value = row[column];
    return value ? std::move(*value) : fallback;
}

} // namespace velquine
