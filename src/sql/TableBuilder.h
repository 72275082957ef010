#pragma once

// CREATE TABLE statements from a typed description: the caller's block adds column definitions and
// table constraints to a TableBuilder, one call each, in the order they are to appear. Nothing here
// touches a database: the result is the statement text, with every value written as an SQL literal.

#include "sql/Collation.h"
#include "sql/Query.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace velquine::sql {

// The primary-key kind of a column: "PRIMARY KEY" or "PRIMARY KEY AUTOINCREMENT".
enum class PrimaryKey { default_, autoincrement };
std::string primaryKeyText(PrimaryKey kind);

// A CHECK condition, given as a boolean or an optional-boolean expression.
struct CheckCondition {
    std::optional<Expression<void>> condition;

    CheckCondition() = default;
    CheckCondition(const Expression<bool>& c) : condition(c) {}
    CheckCondition(const Expression<std::optional<bool>>& c) : condition(c) {}
};

// The default of a column of value type V (std::optional<W> for a nullable column): an expression of
// the column's type, or a plain value that ends up as a literal. A nullable column also takes an
// expression or value of the wrapped type; an absent optional value means no default.
template <class V> struct ColumnDefault {
    std::optional<Expression<void>> expression;

    ColumnDefault() = default;
    ColumnDefault(const Expression<V>& e) : expression(e) {}
    ColumnDefault(const std::optional<Expression<V>>& e)
    {
        if (e)
            expression = *e;
    }
    ColumnDefault(const V& value) : expression(toExpression(value)) {}
    ColumnDefault(const char* text)
        requires std::same_as<V, std::string>
        : expression(toExpression(std::string(text)))
    {
    }
};

template <class W> struct ColumnDefault<std::optional<W>> {
    std::optional<Expression<void>> expression;

    ColumnDefault() = default;
    ColumnDefault(const Expression<std::optional<W>>& e) : expression(e) {}
    ColumnDefault(const std::optional<Expression<std::optional<W>>>& e)
    {
        if (e)
            expression = *e;
    }
    ColumnDefault(const Expression<W>& e) : expression(e) {}
    ColumnDefault(const std::optional<W>& value)
    {
        if (value)
            expression = toExpression(*value);
    }
    ColumnDefault(const W& value) : expression(toExpression(value)) {}
    ColumnDefault(const char* text)
        requires std::same_as<W, std::string>
        : expression(toExpression(std::string(text)))
    {
    }
};

// A referenced column of value type W: the table (named by its alias or name, never with its
// database) and the column.
template <class W> struct ColumnReference {
    Expression<void> table;
    Expression<void> column;
};

// The reference to `column` of `table`, for a column of the same value type (or its optional).
template <class D, class W> ColumnReference<unwrap_t<W>> references(const QueryBase<D>& table, const Expression<W>& column)
{
    return ColumnReference<unwrap_t<W>>{table.tableName(false), column};
}

// The primary-key flag of a column: PrimaryKeyFlag{true} makes it the primary key.
struct PrimaryKeyFlag {
    bool on = true;
};

// One column definition: name, declared type, PRIMARY KEY, NOT NULL, UNIQUE, CHECK condition,
// DEFAULT (value), REFERENCES table (column), COLLATE collation; absent pieces leave no trace.
Expression<void> columnDefinition(const Expression<void>& column, const std::string& declaredType,
                                  std::optional<PrimaryKey> primaryKey, bool nullable, bool unique,
                                  const std::optional<Expression<void>>& check,
                                  const std::optional<Expression<void>>& defaultValue,
                                  const std::optional<std::pair<Expression<void>, Expression<void>>>& references,
                                  const std::optional<Collation>& collate);

// The declared type of a column of value type V (for std::optional<W>, that of W).
template <class V> std::string declaredType()
{
    return std::string(ValueTraits<unwrap_t<V>>::declaredDatatype());
}

class TableBuilder {
public:
    // The action of a foreign key when its parent row changes.
    enum class Dependency { noAction, restrict, setNull, setDefault, cascade };

    std::vector<Expression<void>> definitions;

    // ---- columns ----

    // A column with a unique flag, check, default and collation. A column of an optional value type
    // is nullable; any other gets NOT NULL.
    template <class V>
        requires SQLValueOrOptional<V>
    void column(const Expression<V>& name, bool unique = false, const CheckCondition& check = {},
                const std::type_identity_t<ColumnDefault<V>>& defaultValue = {},
                const std::optional<Collation>& collate = std::nullopt)
    {
        add(name, declaredType<V>(), std::nullopt, is_optional_v<V>, unique, check.condition, defaultValue.expression,
            std::nullopt, collate);
    }

    // A non-nullable column that is the primary key when the flag is set, with a check and a default.
    template <SQLValue V>
    void column(const Expression<V>& name, PrimaryKeyFlag primaryKey, const CheckCondition& check = {},
                const std::type_identity_t<std::optional<Expression<V>>>& defaultValue = std::nullopt)
    {
        add(name, declaredType<V>(), primaryKey.on ? std::optional(PrimaryKey::default_) : std::nullopt, false, false,
            check.condition, defaultValue ? std::optional<Expression<void>>(*defaultValue) : std::nullopt, std::nullopt,
            std::nullopt);
    }

    // A non-nullable primary-key column of the given kind.
    template <SQLValue V> void column(const Expression<V>& name, PrimaryKey kind, const CheckCondition& check = {})
    {
        add(name, declaredType<V>(), kind, false, false, check.condition, std::nullopt, std::nullopt, std::nullopt);
    }

    // A column referring to a column of another table, with a unique flag and a check.
    template <class V>
        requires SQLValueOrOptional<V>
    void column(const Expression<V>& name, const ColumnReference<unwrap_t<V>>& reference, bool unique = false,
                const CheckCondition& check = {})
    {
        add(name, declaredType<V>(), std::nullopt, is_optional_v<V>, unique, check.condition, std::nullopt,
            std::pair(reference.table, reference.column), std::nullopt);
    }

    // A referring column that is the primary key when the flag is set, with a check.
    template <class V>
        requires SQLValueOrOptional<V>
    void column(const Expression<V>& name, const ColumnReference<unwrap_t<V>>& reference, PrimaryKeyFlag primaryKey,
                const CheckCondition& check = {})
    {
        add(name, declaredType<V>(), primaryKey.on ? std::optional(PrimaryKey::default_) : std::nullopt,
            is_optional_v<V>, false, check.condition, std::nullopt, std::pair(reference.table, reference.column),
            std::nullopt);
    }

    // ---- table constraints ----

    // PRIMARY KEY ("a", "b") over one to four columns.
    template <class... T>
        requires(sizeof...(T) >= 1 && sizeof...(T) <= 4)
    void primaryKey(const Expression<T>&... columns)
    {
        addConstraint("PRIMARY KEY", {Expression<void>(columns)...});
    }

    // UNIQUE ("a", "b")
    void unique(const std::vector<Expression<void>>& columns) { addConstraint("UNIQUE", columns); }
    template <class... T>
        requires(sizeof...(T) >= 1)
    void unique(const Expression<T>&... columns)
    {
        unique(std::vector<Expression<void>>{Expression<void>(columns)...});
    }

    // CHECK (condition)
    void check(const CheckCondition& condition);

    // FOREIGN KEY ("a") REFERENCES "t" ("b") [ON UPDATE action] [ON DELETE action]
    template <class V, class D>
        requires SQLValueOrOptional<V>
    void foreignKey(const Expression<V>& column, const QueryBase<D>& table, const Expression<unwrap_t<V>>& other,
                    std::optional<Dependency> update = std::nullopt, std::optional<Dependency> deleteAction = std::nullopt)
    {
        addForeignKey({column}, table.tableName(false), {other}, update, deleteAction);
    }
    template <class A, class B, class D>
    void foreignKey(const std::tuple<Expression<A>, Expression<B>>& columns, const QueryBase<D>& table,
                    const std::tuple<Expression<A>, Expression<B>>& others,
                    std::optional<Dependency> update = std::nullopt, std::optional<Dependency> deleteAction = std::nullopt)
    {
        addForeignKey({std::get<0>(columns), std::get<1>(columns)}, table.tableName(false),
                      {std::get<0>(others), std::get<1>(others)}, update, deleteAction);
    }
    template <class A, class B, class C, class D>
    void foreignKey(const std::tuple<Expression<A>, Expression<B>, Expression<C>>& columns, const QueryBase<D>& table,
                    const std::tuple<Expression<A>, Expression<B>, Expression<C>>& others,
                    std::optional<Dependency> update = std::nullopt, std::optional<Dependency> deleteAction = std::nullopt)
    {
        addForeignKey({std::get<0>(columns), std::get<1>(columns), std::get<2>(columns)}, table.tableName(false),
                      {std::get<0>(others), std::get<1>(others), std::get<2>(others)}, update, deleteAction);
    }

private:
    void add(const Expression<void>& column, const std::string& declaredType, std::optional<PrimaryKey> primaryKey,
             bool nullable, bool unique, const std::optional<Expression<void>>& check,
             const std::optional<Expression<void>>& defaultValue,
             const std::optional<std::pair<Expression<void>, Expression<void>>>& references,
             const std::optional<Collation>& collate)
    {
        definitions.push_back(columnDefinition(column, declaredType, primaryKey, nullable, unique, check, defaultValue,
                                               references, collate));
    }
    void addConstraint(std::string_view keyword, const std::vector<Expression<void>>& columns);
    void addForeignKey(const std::vector<Expression<void>>& columns, const Expression<void>& table,
                       const std::vector<Expression<void>>& others, std::optional<Dependency> update,
                       std::optional<Dependency> deleteAction);
};

// "NO ACTION", "RESTRICT", "SET NULL", "SET DEFAULT", "CASCADE"
std::string rawValue(TableBuilder::Dependency dependency);
std::optional<TableBuilder::Dependency> dependencyFromRawValue(std::string_view text);

struct CreateTableOptions {
    bool temporary = false;
    bool ifNotExists = false;
    bool withoutRowid = false;
};

// The statement head: CREATE [modifier] type [IF NOT EXISTS] name.
Expression<void> createHead(std::string_view type, const Expression<void>& name,
                            const std::optional<std::string>& modifier, bool ifNotExists);

// CREATE [TEMPORARY] TABLE [IF NOT EXISTS] "t" (definitions) [WITHOUT ROWID]. The table is named by
// its alias or name, with its database when it has one.
std::string create(const Table& table, const CreateTableOptions& options,
                   const std::function<void(TableBuilder&)>& block);
inline std::string create(const Table& table, const std::function<void(TableBuilder&)>& block)
{
    return create(table, CreateTableOptions{}, block);
}

} // namespace velquine::sql
