#pragma once

// The table expression of a query: how its source is named in SQL text.

#include "sql/Query.h"

namespace velquine::sql {

// With `alias` set (FROM and JOIN): the name, qualified by the database when there is one, then
// "AS" and the alias when there is one: "db"."t" AS "x". Otherwise (statement targets, column
// qualification, MATCH, schema statements): the alias alone when there is one, else the name, each
// qualified by the database: "db"."x". Every name is quoted; there are no values.
template <QueryValue Q> Expression<void> tableExpression(const Q& query, bool alias)
{
    const AnyQuery erased = toAnyQuery(query);
    return alias ? tableNameWithAlias(erased.clauses->from) : tableNameWithoutAlias(erased.clauses->from);
}

} // namespace velquine::sql
