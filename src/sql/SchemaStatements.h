#pragma once

// The other schema statements: adding a column and renaming a table (ALTER TABLE), dropping a
// table, view or index, indexes with generated names, tables and views made from a query, and
// virtual tables made from a module. Like the table builder these only build texts, with every
// value written as an SQL literal.

#include "sql/TableBuilder.h"

#include <string>
#include <string_view>
#include <vector>

namespace velquine::sql {

// A virtual-table module: its name and its arguments, written name(arg, arg).
struct Module {
    std::string name;
    std::vector<Expression<void>> arguments;

    Module() = default;
    // The name is written as a quoted identifier.
    Module(std::string_view moduleName, std::vector<Expression<void>> moduleArguments)
        : name(quote(moduleName)), arguments(std::move(moduleArguments))
    {
    }

    Expression<void> expression() const { return join("", {literal(name), wrap("", join(", ", arguments))}); }
};

inline Expression<void> toExpression(const Module& module)
{
    return module.expression();
}

// ALTER TABLE "t" ADD COLUMN <definition>
std::string addColumnStatement(const Table& table, const Expression<void>& definition);

// A non-nullable column: NOT NULL, an optional check, and its default, which it needs.
template <SQLValue V>
std::string addColumn(const Table& table, const Expression<V>& column, const std::type_identity_t<V>& defaultValue,
                      const CheckCondition& check = {}, const std::optional<Collation>& collate = std::nullopt)
{
    return addColumnStatement(table, columnDefinition(column, declaredType<V>(), std::nullopt, false, false,
                                                      check.condition, toExpression(defaultValue), std::nullopt, collate));
}
template <std::same_as<std::string> V>
std::string addColumn(const Table& table, const Expression<V>& column, const char* defaultValue,
                      const CheckCondition& check = {}, const std::optional<Collation>& collate = std::nullopt)
{
    return addColumn(table, column, std::string(defaultValue), check, collate);
}

// A nullable column: an optional check and an optional default.
template <SQLValue W>
std::string addColumn(const Table& table, const Expression<std::optional<W>>& column,
                      const std::type_identity_t<std::optional<W>>& defaultValue = std::nullopt,
                      const CheckCondition& check = {},
                      const std::optional<Collation>& collate = std::nullopt)
{
    return addColumnStatement(
        table, columnDefinition(column, declaredType<W>(), std::nullopt, true, false, check.condition,
                                defaultValue ? std::optional(toExpression(*defaultValue)) : std::nullopt, std::nullopt,
                                collate));
}

// A column referring to a column of another table, with a unique flag and a check.
template <class V>
    requires SQLValueOrOptional<V>
std::string addColumn(const Table& table, const Expression<V>& column, const ColumnReference<unwrap_t<V>>& reference,
                      bool unique = false, const CheckCondition& check = {})
{
    return addColumnStatement(table, columnDefinition(column, declaredType<V>(), std::nullopt, is_optional_v<V>,
                                                      unique, check.condition, std::nullopt,
                                                      std::pair(reference.table, reference.column), std::nullopt));
}

// ALTER TABLE "t" RENAME TO "new": the other query's name, never with a database or alias.
std::string rename(const Table& table, const Table& to);

// DROP TABLE / DROP VIEW [IF EXISTS] name
std::string drop(const Table& table, bool ifExists = false);
std::string drop(const View& view, bool ifExists = false);

// The generated index name for the columns: "index", the table's name, "on" and the columns, in
// lower case with every character but a-z and 0-9 turned into "_", quoted; with the table's database
// in front when it has one.
Expression<void> indexName(const Table& table, const std::vector<Expression<void>>& columns);

// CREATE [UNIQUE] INDEX [IF NOT EXISTS] <generated name> ON "t" (columns)
std::string createIndex(const Table& table, const std::vector<Expression<void>>& columns, bool unique = false,
                        bool ifNotExists = false);
// DROP INDEX [IF EXISTS] <generated name>: the index createIndex made for the same columns.
std::string dropIndex(const Table& table, const std::vector<Expression<void>>& columns, bool ifExists = false);

// CREATE [TEMPORARY] TABLE|VIEW [IF NOT EXISTS] name AS <query>
std::string createFromQuery(std::string_view type, const Expression<void>& name, const Expression<void>& query,
                            bool temporary, bool ifNotExists);
template <QueryValue Q>
std::string create(const Table& table, const Q& query, bool temporary = false, bool ifNotExists = false)
{
    return createFromQuery("TABLE", table.tableName(true), toAnyQuery(query).expression(), temporary, ifNotExists);
}
template <QueryValue Q>
std::string create(const View& view, const Q& query, bool temporary = false, bool ifNotExists = false)
{
    return createFromQuery("VIEW", view.tableName(true), toAnyQuery(query).expression(), temporary, ifNotExists);
}

// CREATE VIRTUAL TABLE [IF NOT EXISTS] name USING module(arguments)
std::string create(const VirtualTable& table, const Module& module, bool ifNotExists = false);

} // namespace velquine::sql
