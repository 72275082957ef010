// Running query values and statement values: preparing a select with its column-name map (star
// expansion included), the first row, single values, and inserts, updates and deletes.

#include "sql/Connection.h"
#include "sql/Statement.h"

namespace velquine::sql {

namespace {

// The WITH clauses an expansion query needs: the same names and columns, each defined by a query
// reduced to its table, select list, joins and (reduced) WITH clauses.
WithClauses reducedWith(const WithClauses& with)
{
    WithClauses reduced;
    reduced.recursive = with.recursive;
    for (const WithClause& clause : with.clauses) {
        const QueryClauses& defining = *clause.query.clauses;
        QueryClauses query(defining.from.name, defining.from.database);
        query.select = defining.select;
        query.join = defining.join;
        query.with = reducedWith(defining.with);
        reduced.clauses.push_back(WithClause{clause.alias, clause.columns, std::nullopt,
                                             AnyQuery{clause.query.kind, std::make_shared<const QueryClauses>(query)}});
    }
    return reduced;
}

std::vector<std::string> dotPieces(const std::string& text)
{
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type dot = text.find('.', start);
        std::string piece = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!piece.empty())
            pieces.push_back(std::move(piece));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return pieces;
}

} // namespace

void Connection::expandStar(const AnyQuery& query, bool qualify, ColumnNameMap& map, int& counter)
{
    const QueryClauses& clauses = *query.clauses;
    QueryClauses expansion(clauses.from.name, clauses.from.database);
    expansion.select = clauses.select;
    expansion.with = reducedWith(clauses.with);
    Expression<void> rendered = renderSelect(expansion);
    auto statement = prepare(rendered.templ);
    statement->bind(rendered.bindings);
    std::string prefix = qualify ? tableNameWithoutAlias(clauses.from).templ + "." : std::string();
    for (const std::string& name : statement->columnNames())
        map[prefix + quote(name)] = counter++;
}

ColumnNameMap Connection::columnNamesForQuery(const AnyQuery& query)
{
    ColumnNameMap map;
    int counter = 0;
    const QueryClauses& clauses = *query.clauses;
    for (const Expression<void>& column : clauses.select.columns) {
        std::vector<std::string> pieces = dotPieces(column.templ);
        if (pieces.empty() || pieces.back() != "*") {
            // A template without a column part still stands for one result column: keep the
            // positions of the columns after it right.
            map[column.templ] = counter++;
            continue;
        }
        std::string nameSpace;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
            nameSpace += (i ? "." : "") + pieces[i];

        // The query itself selecting everything, then each joined query in join order.
        QueryClauses starred = clauses;
        starred.select = SelectClause{false, {toExpression(star)}};
        std::vector<AnyQuery> queries{AnyQuery{query.kind, std::make_shared<const QueryClauses>(std::move(starred))}};
        for (const JoinClause& join : clauses.join)
            queries.push_back(join.query);

        if (nameSpace.empty()) {
            for (const AnyQuery& expanded : queries)
                expandStar(expanded, !clauses.join.empty(), map, counter);
            continue;
        }
        bool matched = false;
        for (const AnyQuery& candidate : queries) {
            if (tableNameWithoutAlias(candidate.clauses->from).templ == nameSpace) {
                expandStar(candidate, true, map, counter);
                matched = true;
                break;
            }
        }
        if (!matched)
            throw QueryError::noSuchTable(nameSpace);
    }
    return map;
}

RowIterator Connection::prepareRowIterator(const AnyQuery& query)
{
    Expression<void> rendered = query.expression();
    auto statement = prepare(rendered.templ);
    statement->bind(rendered.bindings);
    auto map = std::make_shared<const ColumnNameMap>(columnNamesForQuery(query));
    return RowIterator(std::move(statement), std::move(map));
}

RowIterator Connection::prepareRowIterator(const std::string& sql, const std::vector<OptBinding>& bindings)
{
    auto statement = prepare(sql);
    statement->bind(bindings);
    auto map = std::make_shared<const ColumnNameMap>(statement->columnNameMap());
    return RowIterator(std::move(statement), std::move(map));
}

std::optional<Row> Connection::firstRow(const AnyQuery& query)
{
    QueryClauses first = *query.clauses;
    std::optional<std::int64_t> offset = first.limit ? first.limit->offset : std::nullopt;
    first.limit = LimitClause{1, offset};
    RowIterator rows = prepareRowIterator(AnyQuery{query.kind, std::make_shared<const QueryClauses>(std::move(first))});
    return rows.failableNext();
}

OptBinding Connection::scalarValue(const Expression<void>& expression)
{
    auto statement = prepare(expression.templ);
    statement->bind(expression.bindings);
    return statement->scalar();
}

std::string Connection::resultColumnName(const QueryClauses& clauses)
{
    return clauses.select.columns.empty() ? std::string() : clauses.select.columns.front().templ;
}

Statement& Connection::cachedStatement(const std::string& sql)
{
    constexpr std::size_t capacity = 32;
    if (auto found = runStatements_.find(sql); found != runStatements_.end())
        return *found->second;
    // A reference to this connection that does not own it: the cache lives inside the connection.
    std::shared_ptr<Connection> self(std::shared_ptr<Connection>(), this);
    auto statement = std::make_unique<Statement>(std::move(self), sql);
    if (runStatements_.size() >= capacity)
        runStatements_.clear();
    return *runStatements_.emplace(sql, std::move(statement)).first->second;
}

std::int64_t Connection::runChanging(const StatementText& text, bool insert)
{
    // One unit on the queue, so that the number read afterwards belongs to this statement.
    return sync([&] {
        Statement& statement = cachedStatement(text.templ);
        try {
            statement.bind(text.bindings);
            statement.run();
        } catch (...) {
            statement.reset();
            throw;
        }
        std::int64_t result = insert ? lastInsertRowid() : changes();
        statement.reset(); // the bound values are not kept beyond the run
        return result;
    });
}

std::int64_t Connection::run(const Insert& insert)
{
    return runChanging(insert, true);
}

std::int64_t Connection::run(const Update& update)
{
    return runChanging(update, false);
}

std::int64_t Connection::run(const Delete& statement)
{
    return runChanging(statement, false);
}

} // namespace velquine::sql
