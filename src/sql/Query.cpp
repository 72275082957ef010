#include "sql/Query.h"

namespace velquine::sql {

// ---- enumerations -------------------------------------------------------------------------------

std::string rawValue(JoinType type)
{
    switch (type) {
    case JoinType::cross: return "CROSS";
    case JoinType::inner: return "INNER";
    case JoinType::leftOuter: return "LEFT OUTER";
    }
    return "INNER";
}

std::optional<JoinType> joinTypeFromRawValue(std::string_view text)
{
    for (JoinType t : {JoinType::cross, JoinType::inner, JoinType::leftOuter})
        if (rawValue(t) == text)
            return t;
    return std::nullopt;
}

std::string rawValue(MaterializationHint hint)
{
    return hint == MaterializationHint::materialized ? "MATERIALIZED" : "NOT MATERIALIZED";
}

std::optional<MaterializationHint> materializationHintFromRawValue(std::string_view text)
{
    for (MaterializationHint h : {MaterializationHint::materialized, MaterializationHint::notMaterialized})
        if (rawValue(h) == text)
            return h;
    return std::nullopt;
}

std::string rawValue(OnConflict conflict)
{
    switch (conflict) {
    case OnConflict::replace: return "REPLACE";
    case OnConflict::rollback: return "ROLLBACK";
    case OnConflict::abort: return "ABORT";
    case OnConflict::fail: return "FAIL";
    case OnConflict::ignore: return "IGNORE";
    }
    return "ABORT";
}

std::optional<OnConflict> onConflictFromRawValue(std::string_view text)
{
    for (OnConflict c : {OnConflict::replace, OnConflict::rollback, OnConflict::abort, OnConflict::fail, OnConflict::ignore})
        if (rawValue(c) == text)
            return c;
    return std::nullopt;
}

// ---- clauses ------------------------------------------------------------------------------------

QueryClauses::QueryClauses(std::string name, std::optional<std::string> database)
    : select{false, {Expression<void>::literal("*")}}, from{std::move(name), std::nullopt, std::move(database)}
{
}

Expression<void> AnyQuery::expression() const
{
    if (!clauses)
        return Expression<void>();
    return renderSelect(*clauses);
}

// ---- table names --------------------------------------------------------------------------------

Expression<void> schemaPrefix(const std::string& name, const std::optional<std::string>& database)
{
    if (!database)
        return Expression<void>(quote(name), {});
    return join(".", {Expression<void>(quote(*database), {}), Expression<void>(quote(name), {})});
}

Expression<void> tableNameWithoutAlias(const FromClause& from)
{
    return schemaPrefix(from.alias ? *from.alias : from.name, from.database);
}

Expression<void> tableNameWithAlias(const FromClause& from)
{
    if (!from.alias)
        return schemaPrefix(from.name, from.database);
    return join(" ", {schemaPrefix(from.name, from.database), literal("AS"), Expression<void>(quote(*from.alias), {})});
}

// ---- the SELECT ---------------------------------------------------------------------------------

namespace detail {

namespace {

Expression<void> wrapped(const Expression<void>& e)
{
    return wrapUntyped("", e);
}

} // namespace

std::optional<Expression<void>> withPart(const QueryClauses& clauses)
{
    if (clauses.with.clauses.empty())
        return std::nullopt;
    std::vector<Expression<void>> rendered;
    for (const WithClause& clause : clauses.with.clauses) {
        std::vector<Expression<void>> parts;
        parts.push_back(tableNameWithoutAlias(clause.alias.clauses->from));
        if (clause.columns)
            parts.push_back(wrapped(join(", ", *clause.columns)));
        parts.push_back(literal("AS"));
        if (clause.hint)
            parts.push_back(literal(rawValue(*clause.hint)));
        parts.push_back(wrapped(clause.query.expression()));
        rendered.push_back(join(" ", parts));
    }
    return join(" ", {literal(clauses.with.recursive ? "WITH RECURSIVE" : "WITH"), join(", ", rendered)});
}

Expression<void> selectPart(const QueryClauses& clauses)
{
    return join(" ", {literal(clauses.select.distinct ? "SELECT DISTINCT" : "SELECT"), join(", ", clauses.select.columns),
                      literal("FROM"), tableNameWithAlias(clauses.from)});
}

std::optional<Expression<void>> joinPart(const QueryClauses& clauses)
{
    if (clauses.join.empty())
        return std::nullopt;
    std::vector<Expression<void>> joins;
    for (const JoinClause& j : clauses.join)
        joins.push_back(join(" ", {literal(rawValue(j.type) + " JOIN"), tableNameWithAlias(j.query.clauses->from),
                                   literal("ON"), j.condition}));
    return join(" ", joins);
}

std::optional<Expression<void>> wherePart(const QueryClauses& clauses)
{
    if (!clauses.filters)
        return std::nullopt;
    return join(" ", {literal("WHERE"), *clauses.filters});
}

std::optional<Expression<void>> groupPart(const QueryClauses& clauses)
{
    if (!clauses.group)
        return std::nullopt;
    Expression<void> group = join(" ", {literal("GROUP BY"), join(", ", clauses.group->by)});
    if (!clauses.group->having)
        return group;
    return join(" ", {group, join(" ", {literal("HAVING"), *clauses.group->having})});
}

std::optional<Expression<void>> unionPart(const QueryClauses& clauses)
{
    if (clauses.unions.empty())
        return std::nullopt;
    std::vector<Expression<void>> members;
    for (const UnionClause& u : clauses.unions)
        members.push_back(join(" ", {literal(u.all ? "UNION ALL" : "UNION"), u.table.expression()}));
    return join(" ", members);
}

std::optional<Expression<void>> orderPart(const QueryClauses& clauses)
{
    if (clauses.order.empty())
        return std::nullopt;
    return join(" ", {literal("ORDER BY"), join(", ", clauses.order)});
}

std::optional<Expression<void>> limitPart(const QueryClauses& clauses)
{
    if (!clauses.limit)
        return std::nullopt;
    Expression<void> limit = literal("LIMIT " + std::to_string(clauses.limit->length));
    if (!clauses.limit->offset)
        return limit;
    return join(" ", {limit, literal("OFFSET " + std::to_string(*clauses.limit->offset))});
}

namespace {

Expression<void> joinPresent(const std::vector<std::optional<Expression<void>>>& parts)
{
    std::vector<Expression<void>> present;
    for (const auto& part : parts)
        if (part)
            present.push_back(*part);
    return join(" ", present);
}

} // namespace

// ---- INSERT, UPDATE, DELETE ---------------------------------------------------------------------

namespace {

std::vector<Expression<void>> columnsOf(const std::vector<Setter>& setters)
{
    std::vector<Expression<void>> columns;
    for (const Setter& s : setters)
        columns.push_back(s.column);
    return columns;
}

std::vector<Expression<void>> valuesOf(const std::vector<Setter>& setters)
{
    std::vector<Expression<void>> values;
    for (const Setter& s : setters)
        values.push_back(s.value);
    return values;
}

Expression<void> insertHead(const QueryClauses& clauses, std::optional<OnConflict> conflict)
{
    std::vector<Expression<void>> parts{literal("INSERT")};
    if (conflict)
        parts.push_back(literal("OR " + rawValue(*conflict)));
    parts.push_back(literal("INTO"));
    parts.push_back(tableNameWithoutAlias(clauses.from));
    return join(" ", parts);
}

std::vector<Expression<void>> setterList(const std::vector<Setter>& setters)
{
    std::vector<Expression<void>> list;
    for (const Setter& s : setters)
        list.push_back(s.expression());
    return list;
}

} // namespace

Insert insertStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict, const std::vector<Setter>& values)
{
    return Insert(joinPresent({insertHead(clauses, conflict), wrapped(join(", ", columnsOf(values))), literal("VALUES"),
                               wrapped(join(", ", valuesOf(values))), wherePart(clauses)}));
}

Insert insertManyStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict,
                           const std::vector<std::vector<Setter>>& rows)
{
    if (rows.empty())
        return insertDefaultValuesStatement(clauses);
    std::vector<Expression<void>> renderedRows;
    for (const auto& row : rows)
        renderedRows.push_back(wrapped(join(", ", valuesOf(row))));
    return Insert(joinPresent({insertHead(clauses, conflict), wrapped(join(", ", columnsOf(rows.front()))),
                               literal("VALUES"), join(", ", renderedRows), wherePart(clauses)}));
}

Insert insertDefaultValuesStatement(const QueryClauses& clauses)
{
    return Insert(join(" ", {literal("INSERT INTO"), tableNameWithoutAlias(clauses.from), literal("DEFAULT VALUES")}));
}

Insert insertQueryStatement(const QueryClauses& clauses, const AnyQuery& query)
{
    return Insert(join(" ", {literal("INSERT INTO"), tableNameWithoutAlias(clauses.from), query.expression()}));
}

Insert upsertStatement(const QueryClauses& clauses, const std::vector<Setter>& values, const Expression<void>& target,
                       const std::vector<Setter>& updates)
{
    return Insert(joinPresent({insertHead(clauses, std::nullopt), wrapped(join(", ", columnsOf(values))),
                               literal("VALUES"), wrapped(join(", ", valuesOf(values))), wherePart(clauses),
                               literal("ON CONFLICT"), wrapped(target), literal("DO UPDATE SET"),
                               join(", ", setterList(updates))}));
}

Insert upsertStatement(const QueryClauses& clauses, const std::vector<Setter>& values, const Expression<void>& target)
{
    const std::string targetText = sqlWithInlinedBindings(target);
    const Expression<void> excluded(quote("excluded"), {});
    std::vector<Setter> updates;
    for (const Setter& s : values) {
        if (sqlWithInlinedBindings(s.column) == targetText)
            continue;
        updates.push_back(Setter{s.column, join(".", {excluded, s.column})});
    }
    return upsertStatement(clauses, values, target, updates);
}

Update updateStatement(const QueryClauses& clauses, const std::vector<Setter>& values)
{
    return Update(joinPresent({literal("UPDATE"), tableNameWithoutAlias(clauses.from), literal("SET"),
                               join(", ", setterList(values)), wherePart(clauses), orderPart(clauses),
                               limitPart(clauses)}));
}

Delete deleteStatement(const QueryClauses& clauses)
{
    return Delete(joinPresent({literal("DELETE FROM"), tableNameWithoutAlias(clauses.from), wherePart(clauses),
                               orderPart(clauses), limitPart(clauses)}));
}

Expression<std::optional<bool>> andCondition(const Expression<void>& lhs, const Expression<void>& rhs)
{
    return infix<std::optional<bool>>(lhs, rhs, "AND");
}

} // namespace detail

Expression<void> renderSelect(const QueryClauses& clauses)
{
    return detail::joinPresent({detail::withPart(clauses), detail::selectPart(clauses), detail::joinPart(clauses),
                                detail::wherePart(clauses), detail::groupPart(clauses), detail::unionPart(clauses),
                                detail::orderPart(clauses), detail::limitPart(clauses)});
}

} // namespace velquine::sql
