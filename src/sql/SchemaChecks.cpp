#include "sql/SchemaChecks.h"

#include "sql/Connection.h"
#include "sql/SchemaReader.h"
#include "sql/Statement.h"

#include <cstdint>
#include <variant>

namespace velquine::sql {

namespace {

std::string pragmaText(const std::string& pragma, const std::optional<std::string>& table)
{
    std::string text = "PRAGMA " + pragma;
    if (table)
        text += "(" + quote(*table) + ")";
    return text;
}

// Every row of the statement; a failing step is passed on.
std::vector<std::vector<OptBinding>> allRows(Connection& connection, const std::string& sql)
{
    std::shared_ptr<Statement> statement = connection.prepare(sql);
    return connection.sync([&] { return collectAll(*statement); });
}

template <class T> const T* valueAt(const std::vector<OptBinding>& row, std::size_t index)
{
    if (index >= row.size() || !row[index])
        return nullptr;
    return std::get_if<T>(&*row[index]);
}

} // namespace

std::shared_ptr<SchemaReader> makeSchemaReader(const std::shared_ptr<Connection>& connection)
{
    return std::make_shared<SchemaReader>(connection);
}

std::vector<ForeignKeyError> checkForeignKeys(Connection& connection, const std::optional<std::string>& table)
{
    std::vector<ForeignKeyError> errors;
    for (const std::vector<OptBinding>& row : allRows(connection, pragmaText("foreign_key_check", table))) {
        const auto* from = valueAt<std::string>(row, 0);
        const auto* rowId = valueAt<std::int64_t>(row, 1);
        const auto* to = valueAt<std::string>(row, 2);
        if (from && rowId && to)
            errors.push_back(ForeignKeyError{*from, *rowId, *to});
    }
    return errors;
}

std::vector<std::string> checkIntegrity(Connection& connection, const std::optional<std::string>& table)
{
    return checkIntegrity(connection, table, table ? connection.sqliteVersion() : SQLiteVersion{});
}

std::vector<std::string> checkIntegrity(Connection& connection, const std::optional<std::string>& table,
                                        SQLiteVersion version)
{
    constexpr SQLiteVersion tableCheckVersion{3, 33, 0};
    if (table && version < tableCheckVersion)
        throw UnsupportedCheckError("The integrity check of one table needs " + tableCheckVersion.description()
                                    + " or later; the library in use is " + version.description());
    std::vector<std::string> messages;
    for (const std::vector<OptBinding>& row : allRows(connection, pragmaText("integrity_check", table))) {
        const auto* message = valueAt<std::string>(row, 0);
        if (message && *message != "ok")
            messages.push_back(*message);
    }
    return messages;
}

} // namespace velquine::sql
