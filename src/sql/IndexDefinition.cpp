#include "sql/IndexDefinition.h"

#include "sql/Expression.h"
#include "sql/SchemaText.h"

namespace velquine::sql {

using schematext::isSpace;
using schematext::isWordByte;

namespace {

// The number of characters of UTF-8 text (bytes that do not continue a character).
std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

// Everything after the first blank + "WHERE" + blanks, line breaks included. At least one character
// must follow the first blank after WHERE.
std::optional<std::string> whereCondition(std::string_view text)
{
    for (std::size_t i = 0; i + 7 < text.size(); ++i) {
        if (!isSpace(text[i]) || text.substr(i + 1, 5) != "WHERE" || !isSpace(text[i + 6]))
            continue;
        std::size_t start = i + 7;
        while (start < text.size() && isSpace(text[start]))
            ++start;
        if (start == text.size())
            start = text.size() - 1;
        return std::string(text.substr(start));
    }
    return std::nullopt;
}

// Every word written before " DESC", optionally in double quotes, left to right.
std::map<std::string, IndexDefinition::Order> descendingColumns(std::string_view text)
{
    std::map<std::string, IndexDefinition::Order> orders;
    std::size_t from = 0;
    std::size_t searchAt = 0;
    while (true) {
        const std::size_t at = text.find(" DESC", searchAt);
        if (at == std::string_view::npos)
            break;
        std::size_t end = at;
        if (end > from && text[end - 1] == '"')
            --end;
        std::size_t begin = end;
        while (begin > from && isWordByte(text[begin - 1]))
            --begin;
        if (begin < end) {
            orders[std::string(text.substr(begin, end - begin))] = IndexDefinition::Order::DESC;
            from = at + 5;
        }
        searchAt = at + 1;
    }
    return orders;
}

} // namespace

IndexDefinition::IndexError IndexDefinition::IndexError::tooLong(std::string indexName, std::string tableName)
{
    const std::string text = "Index name '" + indexName + "' on table '" + tableName + "' is too long; the limit is "
        + std::to_string(maximumNameLength) + " characters";
    return IndexError(std::move(indexName), std::move(tableName), text);
}

IndexDefinition::IndexError::IndexError(std::string indexName, std::string tableName, const std::string& text)
    : std::runtime_error(text), indexName_(std::move(indexName)), tableName_(std::move(tableName))
{
}

IndexDefinition IndexDefinition::fromCreateSQL(std::string table, std::string name, bool unique,
                                               std::vector<std::string> columns,
                                               const std::optional<std::string>& createSQL)
{
    IndexDefinition index{std::move(table), std::move(name), unique, std::move(columns), std::nullopt, std::nullopt};
    if (createSQL) {
        index.where = whereCondition(*createSQL);
        index.orders = descendingColumns(*createSQL);
    }
    return index;
}

void IndexDefinition::checkNameLength() const
{
    if (characterCount(name) > maximumNameLength)
        throw IndexError::tooLong(name, table);
}

std::string IndexDefinition::createStatement(bool ifNotExists) const
{
    std::string sql = "CREATE";
    if (unique)
        sql += " UNIQUE";
    sql += " INDEX";
    if (ifNotExists)
        sql += " IF NOT EXISTS";
    sql += ' ';
    sql += quote(name);
    sql += " ON ";
    sql += quote(table);
    sql += " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            sql += ", ";
        sql += quote(columns[i]);
        if (orders && !orders->empty()) {
            const auto found = orders->find(columns[i]);
            if (found != orders->end()) {
                sql += ' ';
                sql += rawValue(found->second);
            }
        }
    }
    sql += ")";
    if (where)
        sql += " WHERE " + *where;
    return sql;
}

std::string rawValue(IndexDefinition::Order order)
{
    return order == IndexDefinition::Order::ASC ? "ASC" : "DESC";
}

std::optional<IndexDefinition::Order> indexOrderFromRawValue(std::string_view text)
{
    if (text == "ASC")
        return IndexDefinition::Order::ASC;
    if (text == "DESC")
        return IndexDefinition::Order::DESC;
    return std::nullopt;
}

} // namespace velquine::sql
