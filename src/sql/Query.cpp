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

// ---- rendering ----------------------------------------------------------------------------------
//
// Statements are written in one pass into one template and one binding list: every part appends its
// text and, in the same step, its bindings, so the n-th "?" of the text always meets the n-th value.

namespace {

class SqlText {
public:
    Expression<void> out;

    SqlText& text(std::string_view s)
    {
        out.templ.append(s);
        return *this;
    }
    SqlText& quoted(std::string_view name)
    {
        appendQuoted(out.templ, name);
        return *this;
    }
    SqlText& expr(const Expression<void>& e)
    {
        out.templ.append(e.templ);
        out.bindings.insert(out.bindings.end(), e.bindings.begin(), e.bindings.end());
        return *this;
    }
    template <class Range, class Each> SqlText& list(const Range& items, std::string_view separator, Each each)
    {
        bool first = true;
        for (const auto& item : items) {
            if (!first)
                out.templ.append(separator);
            first = false;
            each(item);
        }
        return *this;
    }
    SqlText& exprs(const std::vector<Expression<void>>& items, std::string_view separator)
    {
        return list(items, separator, [this](const Expression<void>& e) { expr(e); });
    }
};

void appendSchemaPrefix(SqlText& b, const std::string& name, const std::optional<std::string>& database)
{
    if (database)
        b.quoted(*database).text(".");
    b.quoted(name);
}

void appendNameWithoutAlias(SqlText& b, const FromClause& from)
{
    appendSchemaPrefix(b, from.alias ? *from.alias : from.name, from.database);
}

void appendNameWithAlias(SqlText& b, const FromClause& from)
{
    appendSchemaPrefix(b, from.name, from.database);
    if (from.alias)
        b.text(" AS ").quoted(*from.alias);
}

void appendSelect(SqlText& b, const QueryClauses& clauses);

void appendWith(SqlText& b, const WithClauses& with)
{
    b.text(with.recursive ? "WITH RECURSIVE " : "WITH ");
    b.list(with.clauses, ", ", [&b](const WithClause& clause) {
        appendNameWithoutAlias(b, clause.alias.clauses->from);
        if (clause.columns)
            b.text(" (").exprs(*clause.columns, ", ").text(")");
        b.text(" AS");
        if (clause.hint)
            b.text(" ").text(rawValue(*clause.hint));
        b.text(" (");
        appendSelect(b, *clause.query.clauses);
        b.text(")");
    });
}

void appendWhere(SqlText& b, const QueryClauses& clauses)
{
    if (clauses.filters)
        b.text(" WHERE ").expr(*clauses.filters);
}

void appendOrder(SqlText& b, const QueryClauses& clauses)
{
    if (!clauses.order.empty())
        b.text(" ORDER BY ").exprs(clauses.order, ", ");
}

void appendLimit(SqlText& b, const QueryClauses& clauses)
{
    if (!clauses.limit)
        return;
    b.text(" LIMIT ").text(std::to_string(clauses.limit->length));
    if (clauses.limit->offset)
        b.text(" OFFSET ").text(std::to_string(*clauses.limit->offset));
}

// WITH, SELECT ... FROM, JOIN, WHERE, GROUP BY, UNION, ORDER BY, LIMIT: the present parts, one space
// between neighbours.
void appendSelect(SqlText& b, const QueryClauses& clauses)
{
    if (!clauses.with.clauses.empty()) {
        appendWith(b, clauses.with);
        b.text(" ");
    }
    b.text(clauses.select.distinct ? "SELECT DISTINCT " : "SELECT ").exprs(clauses.select.columns, ", ").text(" FROM ");
    appendNameWithAlias(b, clauses.from);
    for (const JoinClause& j : clauses.join) {
        b.text(" ").text(rawValue(j.type)).text(" JOIN ");
        appendNameWithAlias(b, j.query.clauses->from);
        b.text(" ON ").expr(j.condition);
    }
    appendWhere(b, clauses);
    if (clauses.group) {
        b.text(" GROUP BY ").exprs(clauses.group->by, ", ");
        if (clauses.group->having)
            b.text(" HAVING ").expr(*clauses.group->having);
    }
    for (const UnionClause& u : clauses.unions) {
        b.text(u.all ? " UNION ALL " : " UNION ");
        appendSelect(b, *u.table.clauses);
    }
    appendOrder(b, clauses);
    appendLimit(b, clauses);
}

void appendInsertHead(SqlText& b, const QueryClauses& clauses, std::optional<OnConflict> conflict)
{
    b.text("INSERT ");
    if (conflict)
        b.text("OR ").text(rawValue(*conflict)).text(" ");
    b.text("INTO ");
    appendNameWithoutAlias(b, clauses.from);
}

void appendColumnList(SqlText& b, const std::vector<Setter>& setters)
{
    b.text("(").list(setters, ", ", [&b](const Setter& s) { b.expr(s.column); }).text(")");
}

void appendValueList(SqlText& b, const std::vector<Setter>& setters)
{
    b.text("(").list(setters, ", ", [&b](const Setter& s) { b.expr(s.value); }).text(")");
}

void appendSetters(SqlText& b, const std::vector<Setter>& setters)
{
    b.list(setters, ", ", [&b](const Setter& s) { b.expr(s.column).text(" = ").expr(s.value); });
}

} // namespace

Expression<void> schemaPrefix(const std::string& name, const std::optional<std::string>& database)
{
    SqlText b;
    appendSchemaPrefix(b, name, database);
    return std::move(b.out);
}

Expression<void> tableNameWithoutAlias(const FromClause& from)
{
    SqlText b;
    appendNameWithoutAlias(b, from);
    return std::move(b.out);
}

Expression<void> tableNameWithAlias(const FromClause& from)
{
    SqlText b;
    appendNameWithAlias(b, from);
    return std::move(b.out);
}

Expression<void> renderSelect(const QueryClauses& clauses)
{
    SqlText b;
    appendSelect(b, clauses);
    return std::move(b.out);
}

namespace detail {

Insert insertStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict, const std::vector<Setter>& values)
{
    SqlText b;
    appendInsertHead(b, clauses, conflict);
    b.text(" ");
    appendColumnList(b, values);
    b.text(" VALUES ");
    appendValueList(b, values);
    appendWhere(b, clauses);
    return Insert(std::move(b.out.templ), std::move(b.out.bindings));
}

Insert insertManyStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict,
                           const std::vector<std::vector<Setter>>& rows)
{
    if (rows.empty())
        return insertDefaultValuesStatement(clauses);
    SqlText b;
    appendInsertHead(b, clauses, conflict);
    b.text(" ");
    appendColumnList(b, rows.front());
    b.text(" VALUES ");
    b.list(rows, ", ", [&b](const std::vector<Setter>& row) { appendValueList(b, row); });
    appendWhere(b, clauses);
    return Insert(std::move(b.out.templ), std::move(b.out.bindings));
}

Insert insertDefaultValuesStatement(const QueryClauses& clauses)
{
    SqlText b;
    b.text("INSERT INTO ");
    appendNameWithoutAlias(b, clauses.from);
    b.text(" DEFAULT VALUES");
    return Insert(std::move(b.out.templ), std::move(b.out.bindings));
}

Insert insertQueryStatement(const QueryClauses& clauses, const AnyQuery& query)
{
    SqlText b;
    b.text("INSERT INTO ");
    appendNameWithoutAlias(b, clauses.from);
    b.text(" ");
    appendSelect(b, *query.clauses);
    return Insert(std::move(b.out.templ), std::move(b.out.bindings));
}

Insert upsertStatement(const QueryClauses& clauses, const std::vector<Setter>& values, const Expression<void>& target,
                       const std::vector<Setter>& updates)
{
    SqlText b;
    appendInsertHead(b, clauses, std::nullopt);
    b.text(" ");
    appendColumnList(b, values);
    b.text(" VALUES ");
    appendValueList(b, values);
    appendWhere(b, clauses);
    b.text(" ON CONFLICT (").expr(target).text(") DO UPDATE SET ");
    appendSetters(b, updates);
    return Insert(std::move(b.out.templ), std::move(b.out.bindings));
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
    SqlText b;
    b.text("UPDATE ");
    appendNameWithoutAlias(b, clauses.from);
    b.text(" SET ");
    appendSetters(b, values);
    appendWhere(b, clauses);
    appendOrder(b, clauses);
    appendLimit(b, clauses);
    return Update(std::move(b.out.templ), std::move(b.out.bindings));
}

Delete deleteStatement(const QueryClauses& clauses)
{
    SqlText b;
    b.text("DELETE FROM ");
    appendNameWithoutAlias(b, clauses.from);
    appendWhere(b, clauses);
    appendOrder(b, clauses);
    appendLimit(b, clauses);
    return Delete(std::move(b.out.templ), std::move(b.out.bindings));
}

Expression<std::optional<bool>> andCondition(const Expression<void>& lhs, const Expression<void>& rhs)
{
    return infix<std::optional<bool>>(lhs, rhs, "AND");
}

} // namespace detail

} // namespace velquine::sql
