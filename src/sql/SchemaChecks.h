#pragma once

// Schema services of a connection: a schema reader bound to it, and the engine's foreign-key and
// integrity checks.

#include "sql/ObjectDefinition.h"
#include "sql/SQLiteVersion.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velquine::sql {

class Connection;
class SchemaReader;

// A check the library in use cannot run.
class UnsupportedCheckError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A new reader on the connection each call.
std::shared_ptr<SchemaReader> makeSchemaReader(const std::shared_ptr<Connection>& connection);

// The rows that refer to a missing parent row, in the engine's order; all tables, or one. Rows
// without a rowid are left out. Throws the Result of a failing statement.
std::vector<ForeignKeyError> checkForeignKeys(Connection& connection,
                                              const std::optional<std::string>& table = std::nullopt);

// The engine's integrity problems, in its order, empty for a sound database; of the whole database
// or of one table. A table needs SQLite 3.33.0 or later: an older library throws
// UnsupportedCheckError and runs nothing. Throws the Result of a failing statement.
std::vector<std::string> checkIntegrity(Connection& connection, const std::optional<std::string>& table = std::nullopt);
// The same, taking the library version as given.
std::vector<std::string> checkIntegrity(Connection& connection, const std::optional<std::string>& table,
                                        SQLiteVersion version);

} // namespace velquine::sql
