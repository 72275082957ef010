#pragma once

// Alters existing tables: adds, drops and renames columns, renames and drops tables. Each change
// runs as one native ALTER TABLE statement where the library supports it, otherwise by rebuilding
// the table: a changed copy named "tmp_" + table is made, the rows copied, the table dropped and
// the copy renamed, all in one transaction, with foreign keys switched off around it and checked
// before it commits.

#include "sql/ColumnDefinition.h"
#include "sql/IndexDefinition.h"
#include "sql/ObjectDefinition.h"
#include "sql/SQLiteVersion.h"

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velquine::sql {

class Connection;
class SchemaReader;

// The working value of a rebuild.
struct TableDefinition {
    std::string name;
    std::vector<ColumnDefinition> columns;
    std::vector<IndexDefinition> indexes;
};

class SchemaChanger {
public:
    struct Operation {
        enum class Kind { addColumn, dropColumn, renameColumn, renameTable };

        Kind kind = Kind::addColumn;
        // addColumn: the new column.
        std::optional<ColumnDefinition> column;
        // dropColumn: the column; renameColumn: the old column name; renameTable: the new table name.
        std::string name;
        // renameColumn: the new column name.
        std::string newName;

        static Operation addColumn(ColumnDefinition column);
        static Operation dropColumn(std::string column);
        static Operation renameColumn(std::string from, std::string to);
        static Operation renameTable(std::string to);

        // The native statement for the library version, or none when the change needs a rebuild.
        std::optional<std::string> sql(const std::string& table, SQLiteVersion version) const;
        // The table definition as the operation leaves it. Adding a column is never applied this
        // way (it always has a native statement): doing so is a programming error.
        TableDefinition apply(TableDefinition definition) const;
    };

    // The changes of one table, in the order they are to be made.
    class AlterTableDefinition {
    public:
        explicit AlterTableDefinition(std::string name) : name(std::move(name)) {}
        virtual ~AlterTableDefinition() = default;

        std::vector<Operation> operations;
        std::string name;

        void add(ColumnDefinition column) { operations.push_back(Operation::addColumn(std::move(column))); }
        void drop(std::string column) { operations.push_back(Operation::dropColumn(std::move(column))); }
        void rename(std::string column, std::string to)
        {
            operations.push_back(Operation::renameColumn(std::move(column), std::move(to)));
        }
    };

    class Error : public std::runtime_error {
    public:
        enum class Kind { invalidColumnDefinition, foreignKeyError, cannotRebuild };

        // "Invalid column definition: " + reason
        static Error invalidColumnDefinition(std::string reason);
        // "Foreign key errors: [child [7] => parent, ...]"
        static Error foreignKeyError(std::vector<ForeignKeyError> errors);
        // "Cannot rebuild table 't': " + reason. The table is left as it was.
        static Error cannotRebuild(const std::string& table, std::string reason);

        Kind kind() const noexcept { return kind_; }
        const std::string& reason() const noexcept { return reason_; }
        const std::vector<ForeignKeyError>& foreignKeyErrors() const noexcept { return errors_; }
        std::string errorDescription() const { return what(); }

    private:
        Error(Kind kind, std::string reason, std::vector<ForeignKeyError> errors, const std::string& text);
        Kind kind_;
        std::string reason_;
        std::vector<ForeignKeyError> errors_;
    };

    // Reads the library version once, now.
    explicit SchemaChanger(std::shared_ptr<Connection> connection);
    // Works as the given library version would, for the paths of older libraries.
    SchemaChanger(std::shared_ptr<Connection> connection, SQLiteVersion version);
    virtual ~SchemaChanger() = default;

    const std::shared_ptr<Connection>& connection() const noexcept { return connection_; }
    const std::shared_ptr<SchemaReader>& schemaReader() const noexcept { return schemaReader_; }
    SQLiteVersion version() const noexcept { return version_; }

    // Applies the operations the block adds, in order. A failure ends the call: the operations
    // before it stay applied, the rest are not run. Throws Error, IndexDefinition::IndexError or
    // the engine's Result.
    virtual void alter(const std::string& table, const std::function<void(AlterTableDefinition&)>& block);
    // DROP TABLE [IF EXISTS] "table"
    virtual void drop(const std::string& table, bool ifExists = false);
    // ALTER TABLE "table" RENAME TO "to"
    virtual void rename(const std::string& table, const std::string& to);
    // Creates the table `to` with the columns and indexes of `from` as the operation changes them,
    // and copies the rows, column by column.
    virtual void copyTable(const std::string& from, const std::string& to, const std::optional<Operation>& operation);

    // "SQLiteSchemaChanger: " and the file name of the main database.
    std::string description() const;

    // The defaults an added column may not have.
    static const std::vector<LiteralValue>& disallowedAddColumnDefaults();

private:
    void validate(const Operation& operation) const;
    void rebuildTable(const std::string& table, const Operation& operation);
    void rebuild(const std::string& table, const Operation& operation);
    // Why the rebuild could not reproduce the table, or none.
    std::optional<std::string> rebuildObstacle(const std::string& table, const Operation& operation);
    void createIndexes(const std::vector<IndexDefinition>& indexes);
    void run(const std::string& sql);

    std::shared_ptr<Connection> connection_;
    std::shared_ptr<SchemaReader> schemaReader_;
    SQLiteVersion version_;
};

} // namespace velquine::sql
