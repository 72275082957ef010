#include "sql/FTSConfig.h"

#include "base/Utf8.h"

#include <algorithm>

namespace velquine::sql {

namespace {

// key=value, the key written bare.
Expression<void> option(std::string_view key, const Expression<void>& value)
{
    return join("", {literal(std::string(key) + "="), value});
}

Expression<void> quotedValue(std::string_view text)
{
    return literal(quote(text));
}

std::string characters(const std::set<char32_t>& set)
{
    std::string text;
    for (char32_t c : set)
        appendUtf8(text, c);
    return text;
}

bool isUnindexed(const FTSConfig::Column& column)
{
    return std::find(column.options.begin(), column.options.end(), FTSConfig::ColumnOption::unindexed)
        != column.options.end();
}

Expression<void> matchCondition(const VirtualTable& table, const Expression<void>& pattern)
{
    return wrap("", join(" MATCH ", {tableNameWithoutAlias(table.clauses.from), pattern}));
}

} // namespace

// ---- tokenizers ---------------------------------------------------------------------------------

std::string Tokenizer::description() const
{
    std::string text = name;
    for (const std::string& argument : arguments) {
        text += ' ';
        text += argument;
    }
    return text;
}

const Tokenizer& Tokenizer::simple()
{
    static const Tokenizer tokenizer{"simple", {}};
    return tokenizer;
}

const Tokenizer& Tokenizer::porter()
{
    static const Tokenizer tokenizer{"porter", {}};
    return tokenizer;
}

Tokenizer Tokenizer::unicode61(std::optional<bool> removeDiacritics, const std::set<char32_t>& tokenchars,
                               const std::set<char32_t>& separators)
{
    Tokenizer tokenizer{"unicode61", {}};
    if (removeDiacritics)
        tokenizer.arguments.push_back(quote(std::string("remove_diacritics=") + (*removeDiacritics ? "1" : "0")));
    if (!tokenchars.empty())
        tokenizer.arguments.push_back(quote("tokenchars=" + characters(tokenchars)));
    if (!separators.empty())
        tokenizer.arguments.push_back(quote("separators=" + characters(separators)));
    return tokenizer;
}

Tokenizer Tokenizer::trigram(bool caseSensitive)
{
    return Tokenizer{"trigram", {"case_sensitive", caseSensitive ? "1" : "0"}};
}

Tokenizer Tokenizer::custom(std::string_view name)
{
    return Tokenizer{quote(customModuleName), {quote(name)}};
}

// ---- shared configuration -----------------------------------------------------------------------

FTSConfig& FTSConfig::column(const Expression<void>& column, std::vector<ColumnOption> options)
{
    columnDefinitions.push_back(Column{column, std::move(options)});
    return *this;
}

FTSConfig& FTSConfig::columns(const std::vector<Expression<void>>& columns)
{
    for (const Expression<void>& c : columns)
        column(c);
    return *this;
}

FTSConfig& FTSConfig::tokenizer(std::optional<Tokenizer> value)
{
    tokenizerValue = std::move(value);
    return *this;
}

FTSConfig& FTSConfig::prefix(const std::vector<std::int64_t>& values)
{
    prefixes.insert(prefixes.end(), values.begin(), values.end());
    return *this;
}

FTSConfig& FTSConfig::contentless()
{
    isContentless = true;
    return *this;
}

std::vector<Expression<void>> FTSConfig::formatColumnDefinitions() const
{
    std::vector<Expression<void>> columns;
    for (const Column& c : columnDefinitions)
        columns.push_back(c.column);
    return columns;
}

std::vector<Expression<void>> FTSConfig::options() const
{
    std::vector<Expression<void>> list = formatColumnDefinitions();
    if (tokenizerValue)
        list.push_back(option("tokenize", tokenizeValue(*tokenizerValue)));
    if (!prefixes.empty()) {
        std::vector<std::int64_t> sorted = prefixes;
        std::sort(sorted.begin(), sorted.end());
        std::string text;
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            if (i > 0)
                text += ',';
            text += std::to_string(sorted[i]);
        }
        list.push_back(option("prefix", quotedValue(text)));
    }
    if (isContentless)
        list.push_back(option("content", quotedValue("")));
    else if (externalContentSchema)
        list.push_back(option("content", tableNameWithoutAlias(externalContentSchema->clauses->from)));
    return list;
}

Expression<void> FTSConfig::tokenizeValue(const Tokenizer& tokenizer) const
{
    return literal(tokenizer.description());
}

// ---- FTS4 ---------------------------------------------------------------------------------------

FTS4Config& FTS4Config::compress(std::string function)
{
    compressFunction = std::move(function);
    return *this;
}

FTS4Config& FTS4Config::uncompress(std::string function)
{
    uncompressFunction = std::move(function);
    return *this;
}

FTS4Config& FTS4Config::languageId(std::string column)
{
    languageIdValue = std::move(column);
    return *this;
}

FTS4Config& FTS4Config::matchInfo(MatchInfo value)
{
    matchInfoValue = value;
    return *this;
}

FTS4Config& FTS4Config::order(Order value)
{
    orderValue = value;
    return *this;
}

std::vector<Expression<void>> FTS4Config::options() const
{
    std::vector<Expression<void>> list = FTSConfig::options();
    for (const Column& column : columnDefinitions)
        if (isUnindexed(column))
            list.push_back(option("notindexed", column.column));
    if (languageIdValue)
        list.push_back(option("languageid", quotedValue(*languageIdValue)));
    if (compressFunction)
        list.push_back(option("compress", quotedValue(*compressFunction)));
    if (uncompressFunction)
        list.push_back(option("uncompress", quotedValue(*uncompressFunction)));
    if (matchInfoValue)
        list.push_back(option("matchinfo", quotedValue(rawValue(*matchInfoValue))));
    if (orderValue)
        list.push_back(option("order", quotedValue(rawValue(*orderValue))));
    return list;
}

// ---- FTS5 ---------------------------------------------------------------------------------------

FTS5Config& FTS5Config::contentRowId(const Expression<void>& column)
{
    contentRowIdValue = column;
    return *this;
}

FTS5Config& FTS5Config::columnSize(std::int64_t size)
{
    columnSizeValue = size;
    return *this;
}

FTS5Config& FTS5Config::detail(Detail value)
{
    detailValue = value;
    return *this;
}

Expression<void> FTS5Config::tokenizeValue(const Tokenizer& tokenizer) const
{
    std::string words = tokenizer.name;
    for (const std::string& argument : tokenizer.arguments) {
        words += ' ';
        if (argument.size() < 2 || argument.front() != '"' || argument.back() != '"') {
            words += argument;
            continue;
        }
        std::string inner;
        for (std::size_t i = 1; i + 1 < argument.size(); ++i) {
            inner += argument[i];
            if (argument[i] == '"' && argument[i + 1] == '"')
                ++i;
        }
        const std::size_t equals = inner.find('=');
        if (equals == std::string::npos) {
            words += quote(inner, '\'');
        } else {
            words += inner.substr(0, equals);
            words += ' ';
            words += quote(inner.substr(equals + 1), '\'');
        }
    }
    return literal(quote(words, '\''));
}

std::vector<Expression<void>> FTS5Config::formatColumnDefinitions() const
{
    std::vector<Expression<void>> columns;
    for (const Column& c : columnDefinitions)
        columns.push_back(isUnindexed(c) ? join(" ", {c.column, literal("UNINDEXED")}) : c.column);
    return columns;
}

std::vector<Expression<void>> FTS5Config::options() const
{
    std::vector<Expression<void>> list = FTSConfig::options();
    if (contentRowIdValue)
        list.push_back(option("content_rowid", *contentRowIdValue));
    if (columnSizeValue)
        list.push_back(option("columnsize", parameter(Binding(*columnSizeValue))));
    if (detailValue)
        list.push_back(option("detail", quotedValue(rawValue(*detailValue))));
    return list;
}

// ---- enumeration texts --------------------------------------------------------------------------

std::string rawValue(FTS4Config::MatchInfo)
{
    return "fts3";
}

std::string rawValue(FTS4Config::Order value)
{
    return value == FTS4Config::Order::asc ? "asc" : "desc";
}

std::string rawValue(FTS5Config::Detail value)
{
    switch (value) {
    case FTS5Config::Detail::full:
        return "full";
    case FTS5Config::Detail::column:
        return "column";
    case FTS5Config::Detail::none:
        return "none";
    }
    return {};
}

std::optional<FTS4Config::MatchInfo> matchInfoFromRawValue(std::string_view text)
{
    if (text == "fts3")
        return FTS4Config::MatchInfo::fts3;
    return std::nullopt;
}

std::optional<FTS4Config::Order> fts4OrderFromRawValue(std::string_view text)
{
    if (text == "asc")
        return FTS4Config::Order::asc;
    if (text == "desc")
        return FTS4Config::Order::desc;
    return std::nullopt;
}

std::optional<FTS5Config::Detail> detailFromRawValue(std::string_view text)
{
    for (auto detail : {FTS5Config::Detail::full, FTS5Config::Detail::column, FTS5Config::Detail::none})
        if (rawValue(detail) == text)
            return detail;
    return std::nullopt;
}

// ---- modules ------------------------------------------------------------------------------------

Module fts4(const FTS4Config& config)
{
    Module module;
    module.name = "fts4";
    module.arguments = config.options();
    return module;
}

Module fts4(const std::vector<Expression<void>>& columns, const std::optional<Tokenizer>& tokenizer)
{
    FTS4Config config;
    config.columns(columns).tokenizer(tokenizer);
    return fts4(config);
}

Module fts5(const FTS5Config& config)
{
    Module module;
    module.name = "fts5";
    module.arguments = config.options();
    return module;
}

// ---- matching -----------------------------------------------------------------------------------

Expression<bool> match(const VirtualTable& table, const std::string& pattern)
{
    return retype<bool>(matchCondition(table, parameter(Binding(pattern))));
}

Expression<bool> match(const VirtualTable& table, const Expression<std::string>& pattern)
{
    return retype<bool>(matchCondition(table, pattern));
}

Expression<std::optional<bool>> match(const VirtualTable& table, const Expression<std::optional<std::string>>& pattern)
{
    return retype<std::optional<bool>>(matchCondition(table, pattern));
}

VirtualTable filter(const VirtualTable& table, const std::string& pattern)
{
    return table.filter(match(table, pattern));
}

VirtualTable filter(const VirtualTable& table, const Expression<std::string>& pattern)
{
    return table.filter(match(table, pattern));
}

VirtualTable filter(const VirtualTable& table, const Expression<std::optional<std::string>>& pattern)
{
    return table.filter(match(table, pattern));
}

} // namespace velquine::sql
