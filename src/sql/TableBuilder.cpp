#include "sql/TableBuilder.h"

namespace velquine::sql {

namespace {

Expression<void> parenthesised(const std::vector<Expression<void>>& parts)
{
    return wrap("", join(", ", parts));
}

} // namespace

std::string primaryKeyText(PrimaryKey kind)
{
    return kind == PrimaryKey::autoincrement ? "PRIMARY KEY AUTOINCREMENT" : "PRIMARY KEY";
}

Expression<void> columnDefinition(const Expression<void>& column, const std::string& declaredType,
                                  std::optional<PrimaryKey> primaryKey, bool nullable, bool unique,
                                  const std::optional<Expression<void>>& check,
                                  const std::optional<Expression<void>>& defaultValue,
                                  const std::optional<std::pair<Expression<void>, Expression<void>>>& references,
                                  const std::optional<Collation>& collate)
{
    std::vector<Expression<void>> pieces{column, literal(declaredType)};
    if (primaryKey)
        pieces.push_back(literal(primaryKeyText(*primaryKey)));
    if (!nullable)
        pieces.push_back(literal("NOT NULL"));
    if (unique)
        pieces.push_back(literal("UNIQUE"));
    if (check)
        pieces.push_back(join(" ", {literal("CHECK"), *check}));
    if (defaultValue)
        pieces.push_back(join("", {literal("DEFAULT "), wrap("", *defaultValue)}));
    if (references)
        pieces.push_back(join(" ", {literal("REFERENCES"), references->first, wrap("", references->second)}));
    if (collate)
        pieces.push_back(join(" ", {literal("COLLATE"), toExpression(*collate)}));
    return join(" ", pieces);
}

void TableBuilder::check(const CheckCondition& condition)
{
    if (condition.condition)
        definitions.push_back(join(" ", {literal("CHECK"), wrap("", *condition.condition)}));
}

void TableBuilder::addConstraint(std::string_view keyword, const std::vector<Expression<void>>& columns)
{
    definitions.push_back(join(" ", {literal(std::string(keyword)), parenthesised(columns)}));
}

void TableBuilder::addForeignKey(const std::vector<Expression<void>>& columns, const Expression<void>& table,
                                 const std::vector<Expression<void>>& others, std::optional<Dependency> update,
                                 std::optional<Dependency> deleteAction)
{
    std::vector<Expression<void>> pieces{
        join("", {literal("FOREIGN KEY "), parenthesised(columns)}),
        join(" ", {literal("REFERENCES"), table, parenthesised(others)}),
    };
    if (update)
        pieces.push_back(literal("ON UPDATE " + rawValue(*update)));
    if (deleteAction)
        pieces.push_back(literal("ON DELETE " + rawValue(*deleteAction)));
    definitions.push_back(join(" ", pieces));
}

std::string rawValue(TableBuilder::Dependency dependency)
{
    using D = TableBuilder::Dependency;
    switch (dependency) {
    case D::noAction:
        return "NO ACTION";
    case D::restrict:
        return "RESTRICT";
    case D::setNull:
        return "SET NULL";
    case D::setDefault:
        return "SET DEFAULT";
    case D::cascade:
        return "CASCADE";
    }
    return {};
}

std::optional<TableBuilder::Dependency> dependencyFromRawValue(std::string_view text)
{
    using D = TableBuilder::Dependency;
    for (D d : {D::noAction, D::restrict, D::setNull, D::setDefault, D::cascade})
        if (rawValue(d) == text)
            return d;
    return std::nullopt;
}

Expression<void> createHead(std::string_view type, const Expression<void>& name,
                            const std::optional<std::string>& modifier, bool ifNotExists)
{
    std::vector<Expression<void>> pieces{literal("CREATE")};
    if (modifier)
        pieces.push_back(literal(*modifier));
    pieces.push_back(literal(std::string(type)));
    if (ifNotExists)
        pieces.push_back(literal("IF NOT EXISTS"));
    pieces.push_back(name);
    return join(" ", pieces);
}

std::string create(const Table& table, const CreateTableOptions& options,
                   const std::function<void(TableBuilder&)>& block)
{
    TableBuilder builder;
    block(builder);
    std::vector<Expression<void>> pieces{
        createHead("TABLE", table.tableName(true), options.temporary ? std::optional<std::string>("TEMPORARY") : std::nullopt,
                   options.ifNotExists),
        wrap("", join(", ", builder.definitions)),
    };
    if (options.withoutRowid)
        pieces.push_back(literal("WITHOUT ROWID"));
    return sqlWithInlinedBindings(join(" ", pieces));
}

} // namespace velquine::sql
