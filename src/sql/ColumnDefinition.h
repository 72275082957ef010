#pragma once

// One column of an existing table as the schema reader sees it, and the SQL texts the schema
// changer writes from such columns when it rebuilds a table.

#include "sql/LiteralValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine::sql {

struct ColumnDefinition {
    enum class Affinity { INTEGER, NUMERIC, REAL, TEXT, BLOB };
    enum class OnConflict { ROLLBACK, ABORT, FAIL, IGNORE, REPLACE };

    struct PrimaryKey {
        bool autoIncrement = false;
        std::optional<OnConflict> onConflict;

        // The first "PRIMARY KEY" clause of a table's CREATE text (upper case only), with its
        // conflict resolution and AUTOINCREMENT; none when the text has no such clause.
        static std::optional<PrimaryKey> fromTableSQL(std::string_view tableSQL);

        // "PRIMARY KEY [ON CONFLICT X] [AUTOINCREMENT]"
        std::string constraintSQL() const;

        friend bool operator==(const PrimaryKey&, const PrimaryKey&) = default;
    };

    struct ForeignKey {
        // The referenced (parent) table.
        std::string table;
        // The referring column of this table; never written into the clause.
        std::string column;
        // The referenced column; absent when the reference names none.
        std::optional<std::string> primaryKey;
        std::optional<std::string> onUpdate;
        std::optional<std::string> onDelete;

        // REFERENCES "table" ("primaryKey") ON UPDATE x ON DELETE y
        std::string constraintSQL() const;

        friend bool operator==(const ForeignKey&, const ForeignKey&) = default;
    };

    std::string name;
    std::optional<PrimaryKey> primaryKey;
    // Also the type the column is declared with when written.
    Affinity type = Affinity::BLOB;
    bool nullable = true;
    // NULL stands for no default.
    LiteralValue defaultValue = LiteralValue::NULL_();
    std::optional<ForeignKey> references;

    // "name" TYPE [DEFAULT literal] [PRIMARY KEY ...] [NOT NULL] [REFERENCES ...]
    std::string definitionSQL() const;

    friend bool operator==(const ColumnDefinition&, const ColumnDefinition&) = default;
};

// The case names.
std::string rawValue(ColumnDefinition::Affinity affinity);
std::string rawValue(ColumnDefinition::OnConflict conflict);
std::optional<ColumnDefinition::Affinity> affinityFromRawValue(std::string_view text);
std::optional<ColumnDefinition::OnConflict> columnOnConflictFromRawValue(std::string_view text);

// The affinity the engine gives a declared column type: INT, then CHAR/CLOB/TEXT, then BLOB, then
// REAL/FLOA/DOUB, else NUMERIC. A column declared without a type has BLOB affinity.
ColumnDefinition::Affinity affinityOfDeclaredType(std::string_view declaredType);

// CREATE [TEMPORARY] TABLE "name" ( column,\ncolumn ). Throws std::invalid_argument for an empty
// column list, which no CREATE TABLE statement can express.
std::string createTableStatement(bool temporary, const std::string& name, const std::vector<ColumnDefinition>& columns);

// INSERT INTO "target" ("a", "b") SELECT "x", "y" FROM "source": the n-th target column receives the
// n-th source column. Throws std::invalid_argument when the lists are empty or differ in length.
std::string copyRowsStatement(const std::string& target, const std::vector<ColumnDefinition>& targetColumns,
                              const std::string& source, const std::vector<ColumnDefinition>& sourceColumns);

} // namespace velquine::sql
