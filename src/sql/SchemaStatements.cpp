#include "sql/SchemaStatements.h"

#include <algorithm>
#include <cctype>

namespace velquine::sql {

namespace {

std::string statement(const std::vector<Expression<void>>& pieces)
{
    return sqlWithInlinedBindings(join(" ", pieces));
}

std::string dropStatement(std::string_view type, const Expression<void>& name, bool ifExists)
{
    std::vector<Expression<void>> pieces{literal("DROP " + std::string(type))};
    if (ifExists)
        pieces.push_back(literal("IF EXISTS"));
    pieces.push_back(name);
    return statement(pieces);
}

} // namespace

std::string addColumnStatement(const Table& table, const Expression<void>& definition)
{
    return statement({literal("ALTER TABLE"), table.tableName(true), literal("ADD COLUMN"), definition});
}

std::string rename(const Table& table, const Table& to)
{
    return statement({literal("ALTER TABLE"), table.tableName(true), literal("RENAME TO"),
                      literal(quote(to.clauses.from.name))});
}

std::string drop(const Table& table, bool ifExists)
{
    return dropStatement("TABLE", table.tableName(true), ifExists);
}

std::string drop(const View& view, bool ifExists)
{
    return dropStatement("VIEW", view.tableName(true), ifExists);
}

Expression<void> indexName(const Table& table, const std::vector<Expression<void>>& columns)
{
    std::string words = "index " + table.clauses.from.name + " on";
    for (const Expression<void>& column : columns)
        words += " " + column.templ;
    std::string name;
    name.reserve(words.size());
    for (char c : words) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue; // one "_" per character, not per byte
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == '"')
            continue;
        name += ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) ? lower : '_';
    }
    return schemaPrefix(name, table.clauses.from.database);
}

std::string createIndex(const Table& table, const std::vector<Expression<void>>& columns, bool unique,
                        bool ifNotExists)
{
    return statement({createHead("INDEX", indexName(table, columns), unique ? std::optional<std::string>("UNIQUE") : std::nullopt,
                                 ifNotExists),
                      literal("ON"), table.tableName(false), wrap("", join(", ", columns))});
}

std::string dropIndex(const Table& table, const std::vector<Expression<void>>& columns, bool ifExists)
{
    return dropStatement("INDEX", indexName(table, columns), ifExists);
}

std::string createFromQuery(std::string_view type, const Expression<void>& name, const Expression<void>& query,
                            bool temporary, bool ifNotExists)
{
    return statement({createHead(type, name, temporary ? std::optional<std::string>("TEMPORARY") : std::nullopt, ifNotExists),
                      literal("AS"), query});
}

std::string create(const VirtualTable& table, const Module& module, bool ifNotExists)
{
    return statement({createHead("VIRTUAL TABLE", table.tableName(true), std::nullopt, ifNotExists), literal("USING"),
                      module.expression()});
}

} // namespace velquine::sql
