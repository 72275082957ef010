#pragma once

// One row of the engine's schema table, and one violation found by the foreign-key check.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velquine::sql {

struct ObjectDefinition {
    enum class ObjectType { table, index, view, trigger };

    ObjectType type = ObjectType::table;
    std::string name;
    // The table the object belongs to.
    std::string tableName;
    std::int64_t rootpage = 0;
    // The CREATE text; absent when the schema table holds none.
    std::optional<std::string> sql;

    // True for the engine's own objects: a name beginning with "sqlite_", or no CREATE text.
    bool isSystemObject() const;

    friend bool operator==(const ObjectDefinition&, const ObjectDefinition&) = default;
};

// "table", "index", "view", "trigger"
std::string rawValue(ObjectDefinition::ObjectType type);
std::optional<ObjectDefinition::ObjectType> objectTypeFromRawValue(std::string_view text);

// A row that refers to a missing parent row.
struct ForeignKeyError {
    // The table holding the row.
    std::string from;
    std::int64_t rowId = 0;
    // The referenced table.
    std::string to;

    // "child [7] => parent"
    std::string description() const;
};

} // namespace velquine::sql
