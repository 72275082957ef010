#include "sql/SchemaReader.h"

#include "sql/Connection.h"
#include "sql/Operators.h"
#include "sql/Row.h"

#include <cstdint>

namespace velquine::sql {

namespace {

// The columns the reader reads, by the engine's names.
namespace col {
const Expression<std::string> type("type");
const Expression<std::string> name("name");
const Expression<std::string> tblName("tbl_name");
const Expression<std::optional<std::int64_t>> rootpage("rootpage");
const Expression<std::optional<std::string>> sql("sql");

const Expression<std::string> declaredType("type");
const Expression<std::int64_t> notnull("notnull");
const Expression<std::optional<std::string>> dfltValue("dflt_value");
const Expression<std::optional<std::int64_t>> pk("pk");

const Expression<std::int64_t> unique("unique");
const Expression<std::optional<std::string>> optionalName("name");

const Expression<std::string> table("table");
const Expression<std::string> from("from");
const Expression<std::optional<std::string>> to("to");
const Expression<std::string> onUpdate("on_update");
const Expression<std::string> onDelete("on_delete");
} // namespace col

constexpr SQLiteVersion schemaTableVersion{3, 33, 0};

std::optional<std::string> action(const std::string& text)
{
    if (text == "NO ACTION")
        return std::nullopt;
    return text;
}

} // namespace

SchemaReader::SchemaReader(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}

SchemaReader::SchemaReader(std::shared_ptr<Connection> connection, SQLiteVersion version)
    : connection_(std::move(connection)), version_(version)
{
}

SQLiteVersion SchemaReader::version()
{
    return version_ ? *version_ : connection_->sqliteVersion();
}

std::vector<ColumnDefinition> SchemaReader::columnDefinitions(const std::string& table)
{
    const std::vector<ColumnDefinition::ForeignKey> keys = foreignKeys(table);
    RowIterator rows = connection_->prepareRowIterator("PRAGMA table_info(" + quote(table) + ")", {});
    return rows.map([&](const Row& row) { return columnDefinition(row, keys, table); });
}

ColumnDefinition SchemaReader::columnDefinition(const Row& row,
                                                const std::vector<ColumnDefinition::ForeignKey>& foreignKeys,
                                                const std::string& table)
{
    ColumnDefinition column;
    column.name = row.get(col::name);
    const std::optional<std::int64_t> pk = row.get(col::pk);
    if (pk && *pk > 0) {
        if (std::optional<std::string> text = tableSQL(table))
            column.primaryKey = ColumnDefinition::PrimaryKey::fromTableSQL(*text);
    }
    column.type = affinityOfDeclaredType(row.get(col::declaredType));
    column.nullable = row.get(col::notnull) == 0;
    column.defaultValue = LiteralValue::fromDefaultText(row.get(col::dfltValue));
    for (const ColumnDefinition::ForeignKey& key : foreignKeys) {
        if (key.column == column.name) {
            column.references = key;
            break;
        }
    }
    return column;
}

std::vector<ObjectDefinition> SchemaReader::objectDefinitions(const std::optional<std::string>& name,
                                                              std::optional<ObjectDefinition::ObjectType> type,
                                                              bool temp)
{
    const bool modern = version() >= schemaTableVersion;
    Table query = modern ? Table("sqlite_schema", temp ? "temp" : "main")
                         : Table(temp ? "sqlite_temp_master" : "sqlite_master");
    if (name)
        query = query.filter(col::name == *name);
    if (type)
        query = query.filter(col::type == rawValue(*type));
    RowIterator rows = connection_->prepare(query);
    return rows.map([](const Row& row) {
        const std::string typeText = row.get(col::type);
        const std::optional<ObjectDefinition::ObjectType> objectType = objectTypeFromRawValue(typeText);
        if (!objectType)
            fatalError("unexpected type");
        return ObjectDefinition{*objectType, row.get(col::name), row.get(col::tblName),
                                row.get(col::rootpage).value_or(0), row.get(col::sql)};
    });
}

std::vector<IndexDefinition> SchemaReader::indexDefinitions(const std::string& table)
{
    RowIterator rows = connection_->prepareRowIterator("PRAGMA index_list(" + quote(table) + ")", {});
    return rows.compactMap([&](const Row& row) { return indexDefinition(row, table); });
}

std::optional<IndexDefinition> SchemaReader::indexDefinition(const Row& row, const std::string& table)
{
    std::string name = row.get(col::name);
    if (name.starts_with("sqlite_"))
        return std::nullopt;
    const bool unique = row.get(col::unique) == 1;
    std::vector<std::string> columns = indexColumns(name);
    const std::optional<std::string> createSQL = indexSQL(name);
    return IndexDefinition::fromCreateSQL(table, std::move(name), unique, std::move(columns), createSQL);
}

std::vector<std::string> SchemaReader::indexColumns(const std::string& index)
{
    RowIterator rows = connection_->prepareRowIterator("PRAGMA index_info(" + quote(index) + ")", {});
    return rows.compactMap([](const Row& row) { return row.get(col::optionalName); });
}

std::optional<std::string> SchemaReader::indexSQL(const std::string& name)
{
    for (const ObjectDefinition& object : objectDefinitions(name, ObjectDefinition::ObjectType::index, false))
        if (object.sql)
            return object.sql;
    return std::nullopt;
}

std::vector<ColumnDefinition::ForeignKey> SchemaReader::foreignKeys(const std::string& table)
{
    RowIterator rows = connection_->prepareRowIterator("PRAGMA foreign_key_list(" + quote(table) + ")", {});
    return rows.map([](const Row& row) {
        return ColumnDefinition::ForeignKey{row.get(col::table), row.get(col::from), row.get(col::to),
                                            action(row.get(col::onUpdate)), action(row.get(col::onDelete))};
    });
}

std::optional<std::string> SchemaReader::tableSQL(const std::string& name)
{
    for (bool temp : {false, true})
        for (const ObjectDefinition& object : objectDefinitions(name, ObjectDefinition::ObjectType::table, temp))
            if (object.sql)
                return object.sql;
    return std::nullopt;
}

} // namespace velquine::sql
