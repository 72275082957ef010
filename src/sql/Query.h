#pragma once

// Query values over one table, view or virtual table: each builder returns a changed copy, and the
// query renders as one SELECT statement. The same values build INSERT, UPDATE and DELETE statements.
// Queries held inside another (joins, unions, common table expressions) are type-erased as AnyQuery.

#include "sql/Setter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine::sql {

// ---- enumerations with SQL texts ----------------------------------------------------------------

enum class JoinType { cross, inner, leftOuter };
// "CROSS", "INNER", "LEFT OUTER"
std::string rawValue(JoinType type);
std::optional<JoinType> joinTypeFromRawValue(std::string_view text);

enum class MaterializationHint { materialized, notMaterialized };
// "MATERIALIZED", "NOT MATERIALIZED"
std::string rawValue(MaterializationHint hint);
std::optional<MaterializationHint> materializationHintFromRawValue(std::string_view text);

enum class OnConflict { replace, rollback, abort, fail, ignore };
// "REPLACE", "ROLLBACK", "ABORT", "FAIL", "IGNORE"
std::string rawValue(OnConflict conflict);
std::optional<OnConflict> onConflictFromRawValue(std::string_view text);

// ---- clauses ------------------------------------------------------------------------------------

enum class QueryKind { table, view, virtualTable, scalar };

struct QueryClauses;

// Any query value, by kind and clauses. Rendering depends only on the clauses.
struct AnyQuery {
    QueryKind kind = QueryKind::table;
    std::shared_ptr<const QueryClauses> clauses;

    // The whole SELECT statement.
    Expression<void> expression() const;
};

struct SelectClause {
    bool distinct = false;
    std::vector<Expression<void>> columns;
};

struct FromClause {
    std::string name;
    std::optional<std::string> alias;
    std::optional<std::string> database;
};

struct JoinClause {
    JoinType type = JoinType::inner;
    AnyQuery query;
    Expression<void> condition;
};

struct GroupClause {
    std::vector<Expression<void>> by;
    std::optional<Expression<std::optional<bool>>> having;
};

struct LimitClause {
    std::int64_t length = 0;
    std::optional<std::int64_t> offset;
};

struct UnionClause {
    bool all = false;
    AnyQuery table;
};

// One common table expression: its name (a table query), optional column names, optional hint and
// the query that defines it.
struct WithClause {
    AnyQuery alias;
    std::optional<std::vector<Expression<void>>> columns;
    std::optional<MaterializationHint> hint;
    AnyQuery query;
};

struct WithClauses {
    bool recursive = false;
    std::vector<WithClause> clauses;
};

struct QueryClauses {
    SelectClause select;
    FromClause from;
    std::vector<JoinClause> join;
    std::optional<Expression<std::optional<bool>>> filters;
    std::optional<GroupClause> group;
    std::vector<Expression<void>> order;
    std::optional<LimitClause> limit;
    std::vector<UnionClause> unions;
    WithClauses with;

    // A new query: SELECT * FROM the table, nothing else.
    explicit QueryClauses(std::string name, std::optional<std::string> database = std::nullopt);
};

// ---- statement values ---------------------------------------------------------------------------

// A finished SQL statement: its template and the values of its "?" parameters.
struct StatementText {
    std::string templ;
    std::vector<OptBinding> bindings;

    StatementText() = default;
    StatementText(std::string templ, std::vector<OptBinding> bindings)
        : templ(std::move(templ)), bindings(std::move(bindings))
    {
    }
    explicit StatementText(const Expression<void>& e) : templ(e.templ), bindings(e.bindings) {}

    Expression<void> expression() const { return Expression<void>(templ, bindings); }
    // The statement with its values written inline.
    std::string description() const { return sqlWithInlinedBindings(expression()); }
};

// A SELECT yielding values of V.
template <class V = void> struct Select : StatementText {
    using UnderlyingType = V;
    using StatementText::StatementText;
};
struct Insert : StatementText {
    using StatementText::StatementText;
};
struct Update : StatementText {
    using StatementText::StatementText;
};
struct Delete : StatementText {
    using StatementText::StatementText;
};

template <class S>
    requires std::derived_from<S, StatementText>
Expression<void> toExpression(const S& statement)
{
    return statement.expression();
}

// ---- rendering ----------------------------------------------------------------------------------

// The quoted name, prefixed with the quoted database and "." when there is one.
Expression<void> schemaPrefix(const std::string& name, const std::optional<std::string>& database);
// The alias (or else the name) with the database prefix: used by namespacing, INSERT, UPDATE, DELETE.
Expression<void> tableNameWithoutAlias(const FromClause& from);
// The name with the database prefix, followed by AS and the quoted alias when there is one.
Expression<void> tableNameWithAlias(const FromClause& from);

// The whole SELECT statement of a query: WITH, SELECT ... FROM, JOIN, WHERE, GROUP BY, UNION,
// ORDER BY, LIMIT, present parts joined with one space.
Expression<void> renderSelect(const QueryClauses& clauses);

namespace detail {

Insert insertStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict,
                       const std::vector<Setter>& values);
Insert insertManyStatement(const QueryClauses& clauses, std::optional<OnConflict> conflict,
                           const std::vector<std::vector<Setter>>& rows);
Insert insertDefaultValuesStatement(const QueryClauses& clauses);
Insert insertQueryStatement(const QueryClauses& clauses, const AnyQuery& query);
Insert upsertStatement(const QueryClauses& clauses, const std::vector<Setter>& values,
                       const Expression<void>& target, const std::vector<Setter>& updates);
Insert upsertStatement(const QueryClauses& clauses, const std::vector<Setter>& values,
                       const Expression<void>& target);
Update updateStatement(const QueryClauses& clauses, const std::vector<Setter>& values);
Delete deleteStatement(const QueryClauses& clauses);

Expression<std::optional<bool>> andCondition(const Expression<void>& lhs, const Expression<void>& rhs);

} // namespace detail

// ---- query values -------------------------------------------------------------------------------

template <class Derived> class QueryBase;
template <class V> class ScalarQuery;
class Table;

template <class D> AnyQuery toAnyQuery(const QueryBase<D>& query);
inline AnyQuery toAnyQuery(const AnyQuery& query)
{
    return query;
}

// A query value of any kind.
template <class Q>
concept QueryValue = requires(const Q& q) {
    { toAnyQuery(q) } -> std::same_as<AnyQuery>;
};

template <class T> concept Condition = std::same_as<unwrap_t<T>, bool>;

template <class Derived> class QueryBase {
public:
    QueryClauses clauses;

    explicit QueryBase(std::string name, std::optional<std::string> database = std::nullopt)
        : clauses(std::move(name), std::move(database))
    {
    }

    // The whole SELECT statement.
    Expression<void> expression() const { return renderSelect(clauses); }
    AnyQuery erased() const { return AnyQuery{Derived::kind, std::make_shared<const QueryClauses>(clauses)}; }

    // Qualified: the table name without alias (with the database prefix). Not qualified: the quoted
    // alias, or else the quoted name.
    Expression<void> tableName(bool qualified = true) const
    {
        if (qualified)
            return tableNameWithoutAlias(clauses.from);
        return Expression<void>(quote(clauses.from.alias ? *clauses.from.alias : clauses.from.name), {});
    }

    // ---- select ----

    Derived select(std::vector<Expression<void>> columns) const { return withSelect(false, std::move(columns)); }
    Derived selectDistinct(std::vector<Expression<void>> columns) const
    {
        return withSelect(true, std::move(columns));
    }
    Derived select(const Expression<void>& column) const { return withSelect(false, {column}); }
    Derived selectDistinct(const Expression<void>& column) const { return withSelect(true, {column}); }
    template <Expressible E1, Expressible E2, Expressible... Es>
    Derived select(const E1& first, const E2& second, const Es&... more) const
    {
        return withSelect(false, {toExpression(first), toExpression(second), toExpression(more)...});
    }
    template <Expressible E1, Expressible E2, Expressible... Es>
    Derived selectDistinct(const E1& first, const E2& second, const Es&... more) const
    {
        return withSelect(true, {toExpression(first), toExpression(second), toExpression(more)...});
    }
    Derived select(Star) const { return withSelect(false, {toExpression(star)}); }
    Derived selectDistinct(Star) const { return withSelect(true, {toExpression(star)}); }

    // One typed column: a scalar query of its type, keeping every other clause.
    template <class V>
        requires SQLValue<unwrap_t<V>>
    ScalarQuery<V> select(const Expression<V>& column) const
    {
        return scalar<V>(false, column);
    }
    template <class V>
        requires SQLValue<unwrap_t<V>>
    ScalarQuery<V> selectDistinct(const Expression<V>& column) const
    {
        return scalar<V>(true, column);
    }

    // SELECT count(*) with the query's other clauses.
    auto count() const
    {
        return scalar<std::int64_t>(false, wrap("count", toExpression(star)));
    }

    // ---- join ----

    template <QueryValue Q, Condition B> Derived join(const Q& query, const Expression<B>& on) const
    {
        return join(JoinType::inner, query, on);
    }
    // The joined query's own filter is added to the ON condition; its other clauses are not used.
    template <QueryValue Q, Condition B> Derived join(JoinType type, const Q& query, const Expression<B>& on) const
    {
        AnyQuery joined = toAnyQuery(query);
        Expression<void> condition = on;
        if (joined.clauses->filters)
            condition = detail::andCondition(condition, *joined.clauses->filters);
        Derived copy = self();
        copy.clauses.join.push_back(JoinClause{type, std::move(joined), std::move(condition)});
        return copy;
    }

    // ---- filter, group, order, limit, union, alias ----

    // Adds a WHERE condition, ANDed to any earlier one.
    template <Condition B> Derived filter(const Expression<B>& predicate) const
    {
        Derived copy = self();
        if (copy.clauses.filters)
            copy.clauses.filters = detail::andCondition(*copy.clauses.filters, predicate);
        else
            copy.clauses.filters = retype<std::optional<bool>>(predicate);
        return copy;
    }

    Derived group(std::vector<Expression<void>> by) const
    {
        Derived copy = self();
        copy.clauses.group = GroupClause{std::move(by), std::nullopt};
        return copy;
    }
    template <Condition B> Derived group(std::vector<Expression<void>> by, const Expression<B>& having) const
    {
        Derived copy = self();
        copy.clauses.group = GroupClause{std::move(by), retype<std::optional<bool>>(having)};
        return copy;
    }
    template <Expressible E, Expressible... Es> Derived group(const E& first, const Es&... more) const
    {
        return group(std::vector<Expression<void>>{toExpression(first), toExpression(more)...});
    }

    Derived order(std::vector<Expression<void>> terms) const
    {
        Derived copy = self();
        copy.clauses.order = std::move(terms);
        return copy;
    }
    template <Expressible E, Expressible... Es> Derived order(const E& first, const Es&... more) const
    {
        return order(std::vector<Expression<void>>{toExpression(first), toExpression(more)...});
    }

    // A length sets LIMIT without OFFSET; no length removes both.
    Derived limit(std::optional<std::int64_t> length) const
    {
        Derived copy = self();
        if (length)
            copy.clauses.limit = LimitClause{*length, std::nullopt};
        else
            copy.clauses.limit.reset();
        return copy;
    }
    Derived limit(std::int64_t length, std::int64_t offset) const
    {
        Derived copy = self();
        copy.clauses.limit = LimitClause{length, offset};
        return copy;
    }

    template <QueryValue Q> Derived union_(const Q& query, bool all = false) const
    {
        Derived copy = self();
        copy.clauses.unions.push_back(UnionClause{all, toAnyQuery(query)});
        return copy;
    }
    template <QueryValue Q> Derived unionAll(const Q& query) const { return union_(query, true); }

    Derived alias(std::string aliasName) const
    {
        Derived copy = self();
        copy.clauses.from.alias = std::move(aliasName);
        return copy;
    }

    // A column qualified with this table's name (its alias when it has one).
    template <class T> Expression<T> operator[](const Expression<T>& column) const
    {
        return retype<T>(sql::join(".", {tableNameWithoutAlias(clauses.from), column}));
    }
    Expression<void> operator[](Star) const
    {
        return sql::join(".", {tableNameWithoutAlias(clauses.from), toExpression(star)});
    }

    // SELECT EXISTS (<this query>)
    Expression<bool> exists() const
    {
        return retype<bool>(sql::join(" ", {literal("SELECT EXISTS"), wrap("", expression())}));
    }

    // ---- common table expressions ----

    // Adds the common table expression `alias` defined by `query`. Once any call asks for recursion,
    // the WITH clause is WITH RECURSIVE.
    template <std::same_as<Table> T, QueryValue Q>
    Derived with(const T& alias, const Q& query, std::optional<std::vector<Expression<void>>> columns = std::nullopt,
                 bool recursive = false, std::optional<MaterializationHint> hint = std::nullopt) const
    {
        Derived copy = self();
        copy.clauses.with.recursive = copy.clauses.with.recursive || recursive;
        copy.clauses.with.clauses.push_back(WithClause{toAnyQuery(alias), std::move(columns), hint, toAnyQuery(query)});
        return copy;
    }

    // ---- statements that change the table ----

    Insert insert(const std::vector<Setter>& values) const { return detail::insertStatement(clauses, std::nullopt, values); }
    template <std::same_as<Setter>... S> Insert insert(Setter value, S... more) const
    {
        return insert(std::vector<Setter>{std::move(value), std::move(more)...});
    }
    Insert insert(OnConflict conflict, const std::vector<Setter>& values) const
    {
        return detail::insertStatement(clauses, conflict, values);
    }
    template <std::same_as<Setter>... S> Insert insert(OnConflict conflict, Setter value, S... more) const
    {
        return insert(conflict, std::vector<Setter>{std::move(value), std::move(more)...});
    }
    // INSERT INTO t DEFAULT VALUES
    Insert insert() const { return detail::insertDefaultValuesStatement(clauses); }
    // INSERT INTO t SELECT ...
    template <QueryValue Q> Insert insert(const Q& query) const
    {
        return detail::insertQueryStatement(clauses, toAnyQuery(query));
    }
    // Several rows; the column list comes from the first row. No rows gives DEFAULT VALUES.
    Insert insertMany(const std::vector<std::vector<Setter>>& rows) const
    {
        return detail::insertManyStatement(clauses, std::nullopt, rows);
    }
    Insert insertMany(OnConflict conflict, const std::vector<std::vector<Setter>>& rows) const
    {
        return detail::insertManyStatement(clauses, conflict, rows);
    }
    // INSERT ... ON CONFLICT (target) DO UPDATE SET updates
    Insert upsert(const std::vector<Setter>& values, const Expression<void>& conflictTarget,
                  const std::vector<Setter>& updates) const
    {
        return detail::upsertStatement(clauses, values, conflictTarget, updates);
    }
    // As above; every inserted column other than the target is updated from "excluded".
    Insert upsert(const std::vector<Setter>& values, const Expression<void>& conflictTarget) const
    {
        return detail::upsertStatement(clauses, values, conflictTarget);
    }

    Update update(const std::vector<Setter>& values) const { return detail::updateStatement(clauses, values); }
    template <std::same_as<Setter>... S> Update update(Setter value, S... more) const
    {
        return update(std::vector<Setter>{std::move(value), std::move(more)...});
    }

    Delete delete_() const { return detail::deleteStatement(clauses); }

protected:
    const Derived& self() const { return static_cast<const Derived&>(*this); }

    Derived withSelect(bool distinct, std::vector<Expression<void>> columns) const
    {
        Derived copy = self();
        copy.clauses.select = SelectClause{distinct, std::move(columns)};
        return copy;
    }

    template <class V> ScalarQuery<V> scalar(bool distinct, const Expression<void>& column) const
    {
        ScalarQuery<V> query(clauses.from.name, clauses.from.database);
        query.clauses = clauses;
        query.clauses.select = SelectClause{distinct, {column}};
        return query;
    }
};

class Table : public QueryBase<Table> {
public:
    static constexpr QueryKind kind = QueryKind::table;
    static constexpr const char* schemaKeyword = "TABLE";
    using QueryBase::QueryBase;
};

class View : public QueryBase<View> {
public:
    static constexpr QueryKind kind = QueryKind::view;
    static constexpr const char* schemaKeyword = "VIEW";
    using QueryBase::QueryBase;
};

class VirtualTable : public QueryBase<VirtualTable> {
public:
    static constexpr QueryKind kind = QueryKind::virtualTable;
    static constexpr const char* schemaKeyword = "VIRTUAL TABLE";
    using QueryBase::QueryBase;
};

// A query whose one result column has the value type V (or std::optional of one).
template <class V> class ScalarQuery : public QueryBase<ScalarQuery<V>> {
public:
    using UnderlyingType = V;
    static constexpr QueryKind kind = QueryKind::scalar;
    using QueryBase<ScalarQuery<V>>::QueryBase;
};

template <class D> AnyQuery toAnyQuery(const QueryBase<D>& query)
{
    return query.erased();
}

template <class D> Expression<void> toExpression(const QueryBase<D>& query)
{
    return query.expression();
}

inline Expression<void> toExpression(const AnyQuery& query)
{
    return query.expression();
}

} // namespace velquine::sql
