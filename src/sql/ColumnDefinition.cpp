#include "sql/ColumnDefinition.h"

#include "sql/Expression.h"
#include "sql/SchemaText.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace velquine::sql {

using schematext::isSpace;
using schematext::isWordByte;

namespace {

std::size_t skipSpaces(std::string_view text, std::size_t i)
{
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i;
}

bool startsWithAt(std::string_view text, std::size_t i, std::string_view word)
{
    return text.substr(i, word.size()) == word;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += parts[i];
    }
    return joined;
}

} // namespace

// ---- enumerations -------------------------------------------------------------------------------

std::string rawValue(ColumnDefinition::Affinity affinity)
{
    using A = ColumnDefinition::Affinity;
    switch (affinity) {
    case A::INTEGER:
        return "INTEGER";
    case A::NUMERIC:
        return "NUMERIC";
    case A::REAL:
        return "REAL";
    case A::TEXT:
        return "TEXT";
    case A::BLOB:
        return "BLOB";
    }
    return {};
}

std::string rawValue(ColumnDefinition::OnConflict conflict)
{
    using C = ColumnDefinition::OnConflict;
    switch (conflict) {
    case C::ROLLBACK:
        return "ROLLBACK";
    case C::ABORT:
        return "ABORT";
    case C::FAIL:
        return "FAIL";
    case C::IGNORE:
        return "IGNORE";
    case C::REPLACE:
        return "REPLACE";
    }
    return {};
}

std::optional<ColumnDefinition::Affinity> affinityFromRawValue(std::string_view text)
{
    using A = ColumnDefinition::Affinity;
    for (A a : {A::INTEGER, A::NUMERIC, A::REAL, A::TEXT, A::BLOB})
        if (rawValue(a) == text)
            return a;
    return std::nullopt;
}

std::optional<ColumnDefinition::OnConflict> columnOnConflictFromRawValue(std::string_view text)
{
    using C = ColumnDefinition::OnConflict;
    for (C c : {C::ROLLBACK, C::ABORT, C::FAIL, C::IGNORE, C::REPLACE})
        if (rawValue(c) == text)
            return c;
    return std::nullopt;
}

ColumnDefinition::Affinity affinityOfDeclaredType(std::string_view declaredType)
{
    using A = ColumnDefinition::Affinity;
    std::string upper(declaredType);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto contains = [&](std::string_view part) { return upper.find(part) != std::string::npos; };
    if (contains("INT"))
        return A::INTEGER;
    if (contains("CHAR") || contains("CLOB") || contains("TEXT"))
        return A::TEXT;
    // The engine gives a column declared without any type BLOB affinity; declaring it NUMERIC would
    // turn texts such as '007' into numbers when rows are copied.
    if (contains("BLOB") || upper.empty())
        return A::BLOB;
    if (contains("REAL") || contains("FLOA") || contains("DOUB"))
        return A::REAL;
    return A::NUMERIC;
}

// ---- primary key --------------------------------------------------------------------------------

// Reads the first occurrence of
//   PRIMARY KEY \s* (ASC|DESC)? \s* (ON CONFLICT (\w+)?)? \s* (AUTOINCREMENT)?
// each optional part taken when present.
std::optional<ColumnDefinition::PrimaryKey> ColumnDefinition::PrimaryKey::fromTableSQL(std::string_view tableSQL)
{
    const std::size_t start = tableSQL.find("PRIMARY KEY");
    if (start == std::string_view::npos)
        return std::nullopt;
    std::size_t i = skipSpaces(tableSQL, start + 11);
    if (startsWithAt(tableSQL, i, "ASC"))
        i += 3;
    else if (startsWithAt(tableSQL, i, "DESC"))
        i += 4;
    i = skipSpaces(tableSQL, i);
    PrimaryKey key;
    if (startsWithAt(tableSQL, i, "ON CONFLICT ")) {
        i += 12;
        const std::size_t wordStart = i;
        while (i < tableSQL.size() && isWordByte(tableSQL[i]))
            ++i;
        if (i > wordStart)
            key.onConflict = columnOnConflictFromRawValue(tableSQL.substr(wordStart, i - wordStart));
    }
    i = skipSpaces(tableSQL, i);
    key.autoIncrement = startsWithAt(tableSQL, i, "AUTOINCREMENT");
    return key;
}

std::string ColumnDefinition::PrimaryKey::constraintSQL() const
{
    std::string sql = "PRIMARY KEY";
    if (onConflict) {
        sql += " ON CONFLICT ";
        sql += rawValue(*onConflict);
    }
    if (autoIncrement)
        sql += " AUTOINCREMENT";
    return sql;
}

// ---- foreign key and column ---------------------------------------------------------------------

std::string ColumnDefinition::ForeignKey::constraintSQL() const
{
    std::string sql = "REFERENCES " + quote(table);
    if (primaryKey)
        sql += " (" + quote(*primaryKey) + ")";
    if (onUpdate)
        sql += " ON UPDATE " + *onUpdate;
    if (onDelete)
        sql += " ON DELETE " + *onDelete;
    return sql;
}

std::string ColumnDefinition::definitionSQL() const
{
    std::string sql = quote(name) + " " + rawValue(type);
    if (defaultValue != LiteralValue::NULL_()) {
        sql += " DEFAULT ";
        defaultValue.appendSQL(sql);
    }
    if (primaryKey) {
        sql += ' ';
        sql += primaryKey->constraintSQL();
    }
    if (!nullable)
        sql += " NOT NULL";
    if (references) {
        sql += ' ';
        sql += references->constraintSQL();
    }
    return sql;
}

// ---- whole statements ---------------------------------------------------------------------------

std::string createTableStatement(bool temporary, const std::string& name, const std::vector<ColumnDefinition>& columns)
{
    if (columns.empty())
        throw std::invalid_argument("CREATE TABLE " + quote(name) + " needs at least one column");
    std::vector<std::string> definitions;
    definitions.reserve(columns.size());
    for (const ColumnDefinition& column : columns)
        definitions.push_back(column.definitionSQL());
    return std::string("CREATE ") + (temporary ? "TEMPORARY " : "") + "TABLE " + quote(name) + " ( "
        + join(definitions, ",\n") + " )";
}

std::string copyRowsStatement(const std::string& target, const std::vector<ColumnDefinition>& targetColumns,
                              const std::string& source, const std::vector<ColumnDefinition>& sourceColumns)
{
    if (sourceColumns.empty() || sourceColumns.size() != targetColumns.size())
        throw std::invalid_argument("copying rows from " + quote(source) + " into " + quote(target)
                                    + " needs the same non-zero number of columns on both sides");
    const auto names = [](const std::vector<ColumnDefinition>& columns) {
        std::vector<std::string> quoted;
        quoted.reserve(columns.size());
        for (const ColumnDefinition& column : columns)
            quoted.push_back(quote(column.name));
        return join(quoted, ", ");
    };
    return "INSERT INTO " + quote(target) + " (" + names(targetColumns) + ") SELECT " + names(sourceColumns)
        + " FROM " + quote(source);
}

} // namespace velquine::sql
