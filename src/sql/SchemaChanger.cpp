#include "sql/SchemaChanger.h"

#include "sql/Connection.h"
#include "sql/SchemaChecks.h"
#include "sql/SchemaReader.h"
#include "sql/Statement.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace velquine::sql {

namespace {

constexpr SQLiteVersion renameColumnVersion{3, 25, 0};
constexpr SQLiteVersion dropColumnVersion{3, 35, 0};
const std::string copyPrefix = "tmp_";

// ---- a small tokenizer for CREATE TABLE texts ---------------------------------------------------

struct Token {
    enum class Kind { word, name, string, number, symbol };
    Kind kind;
    // Words in upper case; everything else as written.
    std::string text;

    bool isWord(std::string_view word) const { return kind == Kind::word && text == word; }
    bool isSymbol(char c) const { return kind == Kind::symbol && text.size() == 1 && text[0] == c; }
};

bool isWordStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) || c == '_' || u >= 0x80;
}

bool isWordPart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

std::vector<Token> tokenize(std::string_view sql)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    const auto closeQuoted = [&](char close) {
        // Skips to after the closing character; a doubled closing character stays inside.
        std::size_t k = i + 1;
        while (k < sql.size()) {
            if (sql[k] == close) {
                if (close != ']' && k + 1 < sql.size() && sql[k + 1] == close) {
                    k += 2;
                    continue;
                }
                return k + 1;
            }
            ++k;
        }
        return sql.size();
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const std::size_t end = closeQuoted(c == '[' ? ']' : c);
            tokens.push_back({c == '\'' ? Token::Kind::string : Token::Kind::name, std::string(sql.substr(i, end - i))});
            i = end;
        } else if (isWordStart(c)) {
            std::size_t end = i;
            while (end < sql.size() && isWordPart(sql[end]))
                ++end;
            std::string word(sql.substr(i, end - i));
            std::transform(word.begin(), word.end(), word.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
            tokens.push_back({Token::Kind::word, std::move(word)});
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t end = i;
            while (end < sql.size() && (isWordPart(sql[end]) || sql[end] == '.'))
                ++end;
            tokens.push_back({Token::Kind::number, std::string(sql.substr(i, end - i))});
            i = end;
        } else {
            tokens.push_back({Token::Kind::symbol, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

// The top-level items between the parentheses of a CREATE TABLE text, and the tokens after them.
struct TableText {
    std::vector<Token> head;
    std::vector<std::vector<Token>> items;
    std::vector<Token> tail;
};

std::optional<TableText> splitTableText(std::string_view sql)
{
    const std::vector<Token> tokens = tokenize(sql);
    auto open = std::find_if(tokens.begin(), tokens.end(), [](const Token& t) { return t.isSymbol('('); });
    if (open == tokens.end())
        return std::nullopt;
    TableText text;
    text.head.assign(tokens.begin(), open);
    text.items.emplace_back();
    int depth = 1;
    auto it = open + 1;
    for (; it != tokens.end(); ++it) {
        if (it->isSymbol('('))
            ++depth;
        else if (it->isSymbol(')') && --depth == 0)
            break;
        if (depth == 1 && it->isSymbol(','))
            text.items.emplace_back();
        else
            text.items.back().push_back(*it);
    }
    if (it == tokens.end())
        return std::nullopt;
    text.tail.assign(it + 1, tokens.end());
    return text;
}

bool hasWord(const std::vector<Token>& tokens, std::size_t from, std::string_view word)
{
    return std::any_of(tokens.begin() + static_cast<std::ptrdiff_t>(std::min(from, tokens.size())), tokens.end(),
                       [&](const Token& t) { return t.isWord(word); });
}

// What a table constraint item is, by its leading words; none for a column definition.
std::optional<std::string> tableConstraintKind(const std::vector<Token>& item)
{
    std::size_t i = 0;
    if (item.size() > 2 && item[0].isWord("CONSTRAINT"))
        i = 2;
    if (i + 1 >= item.size() && i != 2)
        return std::nullopt;
    const auto at = [&](std::size_t k) -> const Token* { return k < item.size() ? &item[k] : nullptr; };
    if (at(i) && at(i)->isWord("PRIMARY") && at(i + 1) && at(i + 1)->isWord("KEY"))
        return "PRIMARY";
    if (at(i) && at(i)->isWord("FOREIGN") && at(i + 1) && at(i + 1)->isWord("KEY"))
        return "FOREIGN";
    if (at(i) && at(i)->isWord("UNIQUE") && at(i + 1) && at(i + 1)->isSymbol('('))
        return "UNIQUE";
    if (at(i) && at(i)->isWord("CHECK") && at(i + 1) && at(i + 1)->isSymbol('('))
        return "CHECK";
    return std::nullopt;
}

// Why the text describes something the column definitions cannot express, or none.
std::optional<std::string> textObstacle(std::string_view sql)
{
    const std::optional<TableText> text = splitTableText(sql);
    if (!text)
        return "its CREATE statement has no column list";
    for (const Token& token : text->head)
        if (token.isWord("VIRTUAL"))
            return "it is a virtual table";
    for (const Token& token : text->tail) {
        if (token.isWord("WITHOUT"))
            return "it is a WITHOUT ROWID table";
        if (token.isWord("STRICT"))
            return "it is a STRICT table";
    }
    for (const std::vector<Token>& item : text->items) {
        if (const std::optional<std::string> kind = tableConstraintKind(item)) {
            if (*kind == "FOREIGN")
                return "it has a table-level foreign key";
            if (*kind == "UNIQUE")
                return "it has a UNIQUE constraint";
            if (*kind == "CHECK")
                return "it has a CHECK constraint";
            continue; // a primary key; one over several columns is found by the caller
        }
        // A column: its name, then its type and constraints.
        if (hasWord(item, 1, "CHECK"))
            return "it has a CHECK constraint";
        if (hasWord(item, 1, "UNIQUE"))
            return "it has a UNIQUE constraint";
        if (hasWord(item, 1, "COLLATE"))
            return "it has a COLLATE clause";
        if (hasWord(item, 1, "GENERATED") || hasWord(item, 1, "AS"))
            return "it has a generated column";
        if (hasWord(item, 1, "DEFERRABLE"))
            return "it has a deferrable foreign key";
        if (std::count_if(item.begin(), item.end(), [](const Token& t) { return t.isWord("REFERENCES"); }) > 1)
            return "it has several foreign keys on one column";
    }
    return std::nullopt;
}

std::string replaceAll(std::string text, const std::string& what, const std::string& with)
{
    std::size_t at = 0;
    while ((at = text.find(what, at)) != std::string::npos) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
    return text;
}

} // namespace

// ---- operations ---------------------------------------------------------------------------------

SchemaChanger::Operation SchemaChanger::Operation::addColumn(ColumnDefinition column)
{
    Operation operation;
    operation.kind = Kind::addColumn;
    operation.column = std::move(column);
    return operation;
}

SchemaChanger::Operation SchemaChanger::Operation::dropColumn(std::string column)
{
    Operation operation;
    operation.kind = Kind::dropColumn;
    operation.name = std::move(column);
    return operation;
}

SchemaChanger::Operation SchemaChanger::Operation::renameColumn(std::string from, std::string to)
{
    Operation operation;
    operation.kind = Kind::renameColumn;
    operation.name = std::move(from);
    operation.newName = std::move(to);
    return operation;
}

SchemaChanger::Operation SchemaChanger::Operation::renameTable(std::string to)
{
    Operation operation;
    operation.kind = Kind::renameTable;
    operation.name = std::move(to);
    return operation;
}

std::optional<std::string> SchemaChanger::Operation::sql(const std::string& table, SQLiteVersion version) const
{
    switch (kind) {
    case Kind::addColumn:
        return "ALTER TABLE " + quote(table) + " ADD COLUMN " + column->definitionSQL();
    case Kind::dropColumn:
        if (version < dropColumnVersion)
            return std::nullopt;
        return "ALTER TABLE " + quote(table) + " DROP COLUMN " + quote(name);
    case Kind::renameColumn:
        if (version < renameColumnVersion)
            return std::nullopt;
        return "ALTER TABLE " + quote(table) + " RENAME COLUMN " + quote(name) + " TO " + quote(newName);
    case Kind::renameTable:
        return std::nullopt;
    }
    return std::nullopt;
}

TableDefinition SchemaChanger::Operation::apply(TableDefinition definition) const
{
    switch (kind) {
    case Kind::addColumn:
        fatalError("Use 'ALTER TABLE ADD COLUMN (...)'");
    case Kind::dropColumn:
        std::erase_if(definition.columns, [&](const ColumnDefinition& c) { return c.name == name; });
        std::erase_if(definition.indexes, [&](const IndexDefinition& index) {
            return std::find(index.columns.begin(), index.columns.end(), name) != index.columns.end();
        });
        break;
    case Kind::renameColumn:
        for (ColumnDefinition& column : definition.columns)
            if (column.name == name)
                column.name = newName;
        for (IndexDefinition& index : definition.indexes) {
            std::replace(index.columns.begin(), index.columns.end(), name, newName);
            // The sort order follows its column.
            if (index.orders) {
                if (auto order = index.orders->extract(name); !order.empty()) {
                    order.key() = newName;
                    index.orders->insert(std::move(order));
                }
            }
        }
        break;
    case Kind::renameTable:
        definition.name = name;
        for (IndexDefinition& index : definition.indexes) {
            index.table = name;
            if (name.starts_with(copyPrefix))
                index.name = copyPrefix + index.name;
            else if (index.name.starts_with(copyPrefix))
                index.name = replaceAll(index.name, copyPrefix, "");
        }
        break;
    }
    return definition;
}

// ---- errors -------------------------------------------------------------------------------------

SchemaChanger::Error::Error(Kind kind, std::string reason, std::vector<ForeignKeyError> errors,
                            const std::string& text)
    : std::runtime_error(text), kind_(kind), reason_(std::move(reason)), errors_(std::move(errors))
{
}

SchemaChanger::Error SchemaChanger::Error::invalidColumnDefinition(std::string reason)
{
    const std::string text = "Invalid column definition: " + reason;
    return Error(Kind::invalidColumnDefinition, std::move(reason), {}, text);
}

SchemaChanger::Error SchemaChanger::Error::foreignKeyError(std::vector<ForeignKeyError> errors)
{
    std::string text = "Foreign key errors: [";
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += errors[i].description();
    }
    text += "]";
    return Error(Kind::foreignKeyError, {}, std::move(errors), text);
}

SchemaChanger::Error SchemaChanger::Error::cannotRebuild(const std::string& table, std::string reason)
{
    const std::string text = "Cannot rebuild table '" + table + "': " + reason;
    return Error(Kind::cannotRebuild, std::move(reason), {}, text);
}

// ---- the changer --------------------------------------------------------------------------------

SchemaChanger::SchemaChanger(std::shared_ptr<Connection> connection)
    : SchemaChanger(connection, connection->sqliteVersion())
{
}

SchemaChanger::SchemaChanger(std::shared_ptr<Connection> connection, SQLiteVersion version)
    : connection_(std::move(connection)), schemaReader_(std::make_shared<SchemaReader>(connection_, version)),
      version_(version)
{
}

const std::vector<LiteralValue>& SchemaChanger::disallowedAddColumnDefaults()
{
    static const std::vector<LiteralValue> defaults{LiteralValue::CURRENT_TIME(), LiteralValue::CURRENT_DATE(),
                                                    LiteralValue::CURRENT_TIMESTAMP()};
    return defaults;
}

std::string SchemaChanger::description() const
{
    return "SQLiteSchemaChanger: " + connection_->description();
}

void SchemaChanger::run(const std::string& sql)
{
    connection_->run(sql);
}

void SchemaChanger::alter(const std::string& table, const std::function<void(AlterTableDefinition&)>& block)
{
    AlterTableDefinition definition(table);
    block(definition);
    for (const Operation& operation : definition.operations) {
        validate(operation);
        if (const std::optional<std::string> sql = operation.sql(table, version_))
            run(*sql);
        else
            rebuildTable(table, operation);
    }
}

void SchemaChanger::validate(const Operation& operation) const
{
    if (operation.kind != Operation::Kind::addColumn)
        return;
    const ColumnDefinition& column = *operation.column;
    if (column.primaryKey)
        throw Error::invalidColumnDefinition("can not add primary key column");
    const auto& disallowed = disallowedAddColumnDefaults();
    if (std::find(disallowed.begin(), disallowed.end(), column.defaultValue) != disallowed.end())
        throw Error::invalidColumnDefinition("Invalid default value");
    if (!column.nullable && column.defaultValue == LiteralValue::NULL_())
        throw Error::invalidColumnDefinition("NOT NULL columns must have a default value other than NULL");
}

void SchemaChanger::drop(const std::string& table, bool ifExists)
{
    run(std::string("DROP TABLE ") + (ifExists ? "IF EXISTS" : "") + " " + quote(table));
}

void SchemaChanger::rename(const std::string& table, const std::string& to)
{
    run("ALTER TABLE " + quote(table) + " RENAME TO " + quote(to));
}

std::optional<std::string> SchemaChanger::rebuildObstacle(const std::string& table, const Operation& operation)
{
    const std::optional<std::string> sql = schemaReader_->tableSQL(table);
    if (!sql)
        return "no such table";
    // The rebuild's statements name tables without a schema, which would reach a temporary table
    // first and put its copy into the main database.
    if (!schemaReader_->objectDefinitions(table, ObjectDefinition::ObjectType::table, true).empty())
        return "it is a temporary table or shares its name with one";
    if (std::optional<std::string> obstacle = textObstacle(*sql))
        return obstacle;

    for (bool temp : {false, true})
        for (const ObjectDefinition& trigger :
             schemaReader_->objectDefinitions(std::nullopt, ObjectDefinition::ObjectType::trigger, temp))
            if (trigger.tableName == table)
                return "it has triggers";

    const auto columns = connection_->prepareRowIterator("PRAGMA table_info(" + quote(table) + ")", {})
                             .map([](const Row& row) { return row.get(Expression<std::int64_t>("pk")); });
    if (std::count_if(columns.begin(), columns.end(), [](std::int64_t pk) { return pk > 0; }) > 1)
        return "it has a primary key over several columns";

    std::map<std::string, std::set<std::int64_t>> keysPerColumn;
    for (const Row& row : connection_->prepareRowIterator("PRAGMA foreign_key_list(" + quote(table) + ")", {})
                              .map([](const Row& r) { return r; })) {
        if (row.get(Expression<std::int64_t>("seq")) > 0)
            return "it has a foreign key over several columns";
        keysPerColumn[row.get(Expression<std::string>("from"))].insert(row.get(Expression<std::int64_t>("id")));
    }
    for (const auto& [column, ids] : keysPerColumn)
        if (ids.size() > 1)
            return "it has several foreign keys on column '" + column + "'";

    if (operation.kind == Operation::Kind::dropColumn) {
        const std::vector<ColumnDefinition> current = schemaReader_->columnDefinitions(table);
        const bool onlyThat = std::all_of(current.begin(), current.end(),
                                          [&](const ColumnDefinition& c) { return c.name == operation.name; });
        if (onlyThat)
            return "it would be left without columns";
    }
    return std::nullopt;
}

void SchemaChanger::rebuildTable(const std::string& table, const Operation& operation)
{
    connection_->sync([&] {
        if (const std::optional<std::string> obstacle = rebuildObstacle(table, operation))
            throw Error::cannotRebuild(table, *obstacle);
        // Switching foreign keys off has no effect inside a transaction, so it happens before the
        // transaction begins: otherwise dropping the old table would delete or change the rows
        // that refer to it.
        const bool foreignKeys = connection_->getBoolPragma("foreign_keys");
        connection_->setBoolPragma("foreign_keys", false);
        try {
            connection_->transaction(Connection::TransactionMode::deferred, [&] { rebuild(table, operation); });
        } catch (...) {
            connection_->setBoolPragma("foreign_keys", foreignKeys);
            throw;
        }
        connection_->setBoolPragma("foreign_keys", foreignKeys);
    });
}

void SchemaChanger::rebuild(const std::string& table, const Operation& operation)
{
    const bool deferForeignKeys = connection_->getBoolPragma("defer_foreign_keys");
    connection_->setBoolPragma("defer_foreign_keys", true);
    try {
        // An AUTOINCREMENT table keeps its counter: the copy must not hand out numbers the table
        // has used before.
        const bool hasSequence = connection_->scalar(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'sqlite_sequence'") != OptBinding(std::int64_t{0});
        OptBinding sequence;
        if (hasSequence)
            sequence = connection_->scalar("SELECT seq FROM sqlite_sequence WHERE name = ?", {OptBinding(table)});

        const std::string copy = copyPrefix + table;
        copyTable(table, copy, operation);
        drop(table, true);
        rename(copy, table);

        if (sequence) {
            run("DELETE FROM sqlite_sequence WHERE name = " + quote(table, '\''));
            connection_->run("INSERT INTO sqlite_sequence (name, seq) VALUES (?, max(?, (SELECT coalesce(max(rowid), 0) FROM "
                                 + quote(table) + ")))",
                             {OptBinding(table), sequence});
        }

        const std::vector<ForeignKeyError> errors = checkForeignKeys(*connection_);
        if (!errors.empty())
            throw Error::foreignKeyError(errors);
    } catch (...) {
        connection_->setBoolPragma("defer_foreign_keys", deferForeignKeys);
        throw;
    }
    connection_->setBoolPragma("defer_foreign_keys", deferForeignKeys);
}

void SchemaChanger::copyTable(const std::string& from, const std::string& to, const std::optional<Operation>& operation)
{
    const std::vector<ColumnDefinition> sourceColumns = schemaReader_->columnDefinitions(from);
    const std::vector<IndexDefinition> sourceIndexes = schemaReader_->indexDefinitions(from);

    TableDefinition definition = Operation::renameTable(to).apply(TableDefinition{from, sourceColumns, sourceIndexes});
    if (operation)
        definition = operation->apply(std::move(definition));

    run(createTableStatement(false, definition.name, definition.columns));
    createIndexes(definition.indexes);

    std::vector<ColumnDefinition> readColumns = sourceColumns;
    if (operation && operation->kind == Operation::Kind::dropColumn)
        readColumns = operation->apply(TableDefinition{from, sourceColumns, {}}).columns;
    run(copyRowsStatement(definition.name, definition.columns, from, readColumns));
}

void SchemaChanger::createIndexes(const std::vector<IndexDefinition>& indexes)
{
    for (const IndexDefinition& index : indexes) {
        index.checkNameLength();
        run(index.createStatement(false));
    }
}

} // namespace velquine::sql
