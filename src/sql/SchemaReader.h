#pragma once

// Reads the structure of the database open on a connection: its schema objects, and the columns,
// indexes and foreign keys of a table. Every call asks the engine afresh; nothing is cached.

#include "sql/ColumnDefinition.h"
#include "sql/IndexDefinition.h"
#include "sql/ObjectDefinition.h"
#include "sql/SQLiteVersion.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velquine::sql {

class Connection;
struct Row;

class SchemaReader {
public:
    explicit SchemaReader(std::shared_ptr<Connection> connection);
    // Reads as the given library version would: which schema table is asked depends on it. For
    // testing the paths of older libraries; the other constructor reads the version on every call.
    SchemaReader(std::shared_ptr<Connection> connection, SQLiteVersion version);
    virtual ~SchemaReader() = default;

    const std::shared_ptr<Connection>& connection() const noexcept { return connection_; }

    // One column per table_info row, in the table's order, with its affinity, nullability, default,
    // primary-key clause and the first foreign key declared on it.
    virtual std::vector<ColumnDefinition> columnDefinitions(const std::string& table);
    // The schema objects, optionally only those of one name and of one type; `temp` lists the
    // temporary schema instead of the main one. In the order the engine returns them.
    virtual std::vector<ObjectDefinition> objectDefinitions(const std::optional<std::string>& name = std::nullopt,
                                                            std::optional<ObjectDefinition::ObjectType> type
                                                            = std::nullopt,
                                                            bool temp = false);
    // The table's indexes, leaving out the engine's own (named "sqlite_...").
    virtual std::vector<IndexDefinition> indexDefinitions(const std::string& table);
    // One entry per foreign_key_list row; "NO ACTION" reads as no action.
    virtual std::vector<ColumnDefinition::ForeignKey> foreignKeys(const std::string& table);
    // The table's CREATE text (the main schema before the temporary one), or none.
    virtual std::optional<std::string> tableSQL(const std::string& name);

private:
    ColumnDefinition columnDefinition(const Row& row,
                                      const std::vector<ColumnDefinition::ForeignKey>& foreignKeys,
                                      const std::string& table);
    std::optional<IndexDefinition> indexDefinition(const Row& row, const std::string& table);
    std::vector<std::string> indexColumns(const std::string& index);
    std::optional<std::string> indexSQL(const std::string& name);
    SQLiteVersion version();

    std::shared_ptr<Connection> connection_;
    std::optional<SQLiteVersion> version_;
};

} // namespace velquine::sql
