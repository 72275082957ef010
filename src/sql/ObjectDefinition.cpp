#include "sql/ObjectDefinition.h"

namespace velquine::sql {

bool ObjectDefinition::isSystemObject() const
{
    return name.starts_with("sqlite_") || !sql.has_value();
}

std::string rawValue(ObjectDefinition::ObjectType type)
{
    switch (type) {
    case ObjectDefinition::ObjectType::table:
        return "table";
    case ObjectDefinition::ObjectType::index:
        return "index";
    case ObjectDefinition::ObjectType::view:
        return "view";
    case ObjectDefinition::ObjectType::trigger:
        return "trigger";
    }
    return {};
}

std::optional<ObjectDefinition::ObjectType> objectTypeFromRawValue(std::string_view text)
{
    using T = ObjectDefinition::ObjectType;
    for (T type : {T::table, T::index, T::view, T::trigger})
        if (rawValue(type) == text)
            return type;
    return std::nullopt;
}

std::string ForeignKeyError::description() const
{
    return from + " [" + std::to_string(rowId) + "] => " + to;
}

} // namespace velquine::sql
