#pragma once

// Configurations of the full-text search and R*Tree virtual-table modules: a configuration holds the
// columns, tokenizer and table options and turns into the Module that CREATE VIRTUAL TABLE writes
// after USING. Also the MATCH conditions that query full-text tables.

#include "sql/SchemaStatements.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velquine::sql {

// A full-text tokenizer: its name and arguments, written "name arg arg".
struct Tokenizer {
    std::string name;
    std::vector<std::string> arguments;

    std::string description() const;

    static const Tokenizer& simple();
    static const Tokenizer& porter();
    // Each argument quoted, only when given: "remove_diacritics=1|0", "tokenchars=...", "separators=...".
    static Tokenizer unicode61(std::optional<bool> removeDiacritics = std::nullopt,
                               const std::set<char32_t>& tokenchars = {}, const std::set<char32_t>& separators = {});
    // trigram case_sensitive 1|0
    static Tokenizer trigram(bool caseSensitive = false);
    // A tokenizer registered by the application under `name`, through the module named by
    // customModuleName (quoted), with the name quoted as its argument.
    static Tokenizer custom(std::string_view name);
    static constexpr std::string_view customModuleName = "VelquineTokenizer";

    friend bool operator==(const Tokenizer&, const Tokenizer&) = default;
};

// The columns, tokenizer and options shared by the full-text modules.
class FTSConfig {
public:
    enum class ColumnOption { unindexed };

    struct Column {
        Expression<void> column;
        std::vector<ColumnOption> options;
    };

    // The stored settings; the builder calls of the same names set them.
    std::vector<Column> columnDefinitions;
    std::optional<Tokenizer> tokenizerValue;
    std::vector<std::int64_t> prefixes;
    // A table or view holding the indexed content.
    std::optional<AnyQuery> externalContentSchema;
    bool isContentless = false;

    virtual ~FTSConfig() = default;

    FTSConfig& column(const Expression<void>& column, std::vector<ColumnOption> options = {});
    FTSConfig& columns(const std::vector<Expression<void>>& columns);
    FTSConfig& tokenizer(std::optional<Tokenizer> value);
    FTSConfig& prefix(const std::vector<std::int64_t>& values);
    template <QueryValue Q> FTSConfig& externalContent(const Q& schema)
    {
        externalContentSchema = toAnyQuery(schema);
        return *this;
    }
    FTSConfig& contentless();

    // The column arguments, in order.
    virtual std::vector<Expression<void>> formatColumnDefinitions() const;
    // The module arguments: the columns, then tokenize=, prefix= and content=.
    virtual std::vector<Expression<void>> options() const;

protected:
    // The value of the tokenize option: the tokenizer's description, unquoted.
    virtual Expression<void> tokenizeValue(const Tokenizer& tokenizer) const;
};

// The builder calls of FTSConfig, returning the configuration's own type so that calls chain.
template <class Derived> class FTSConfigBuilder : public FTSConfig {
public:
    Derived& column(const Expression<void>& c, std::vector<ColumnOption> o = {}) { return self(FTSConfig::column(c, std::move(o))); }
    Derived& columns(const std::vector<Expression<void>>& c) { return self(FTSConfig::columns(c)); }
    Derived& tokenizer(std::optional<Tokenizer> value) { return self(FTSConfig::tokenizer(std::move(value))); }
    Derived& prefix(const std::vector<std::int64_t>& values) { return self(FTSConfig::prefix(values)); }
    template <QueryValue Q> Derived& externalContent(const Q& schema) { return self(FTSConfig::externalContent(schema)); }
    Derived& contentless() { return self(FTSConfig::contentless()); }

private:
    Derived& self(FTSConfig&) { return static_cast<Derived&>(*this); }
};

class FTS4Config : public FTSConfigBuilder<FTS4Config> {
public:
    enum class MatchInfo { fts3 };
    enum class Order { asc, desc };

    std::optional<std::string> compressFunction;
    std::optional<std::string> uncompressFunction;
    std::optional<std::string> languageIdValue;
    std::optional<MatchInfo> matchInfoValue;
    std::optional<Order> orderValue;

    FTS4Config& compress(std::string function);
    FTS4Config& uncompress(std::string function);
    FTS4Config& languageId(std::string column);
    FTS4Config& matchInfo(MatchInfo value);
    FTS4Config& order(Order value);

    // The shared options, then notindexed= per unindexed column, languageid=, compress=,
    // uncompress=, matchinfo= and order=.
    std::vector<Expression<void>> options() const override;
};

class FTS5Config : public FTSConfigBuilder<FTS5Config> {
public:
    enum class Detail { full, column, none };

    std::optional<Detail> detailValue;
    std::optional<Expression<void>> contentRowIdValue;
    std::optional<std::int64_t> columnSizeValue;

    FTS5Config& contentRowId(const Expression<void>& column);
    FTS5Config& columnSize(std::int64_t size);
    FTS5Config& detail(Detail value);

    // Each column, followed by UNINDEXED when it is not indexed.
    std::vector<Expression<void>> formatColumnDefinitions() const override;
    // The shared options, then content_rowid=, columnsize= and detail=.
    std::vector<Expression<void>> options() const override;

protected:
    // The tokenizer as FTS5 reads it: one string literal holding the name and the arguments, an
    // argument "key=value" written as the word key and the string 'value'.
    Expression<void> tokenizeValue(const Tokenizer& tokenizer) const override;
};

// The texts of the enumerations: "unindexed" has none; "fts3"; "asc", "desc"; "full", "column", "none".
std::string rawValue(FTS4Config::MatchInfo value);
std::string rawValue(FTS4Config::Order value);
std::string rawValue(FTS5Config::Detail value);
std::optional<FTS4Config::MatchInfo> matchInfoFromRawValue(std::string_view text);
std::optional<FTS4Config::Order> fts4OrderFromRawValue(std::string_view text);
std::optional<FTS5Config::Detail> detailFromRawValue(std::string_view text);

// fts4(...), fts5(...) and rtree(...) modules.
Module fts4(const FTS4Config& config);
Module fts4(const std::vector<Expression<void>>& columns, const std::optional<Tokenizer>& tokenizer = std::nullopt);
template <class T, class... Ts> Module fts4(const Expression<T>& first, const Expression<Ts>&... more)
{
    return fts4(std::vector<Expression<void>>{Expression<void>(first), Expression<void>(more)...});
}
Module fts5(const FTS5Config& config);
// The primary key, then the two columns of each pair in order.
template <IntegerValue K, class... T>
Module rtree(const Expression<K>& primaryKey, const std::pair<Expression<T>, Expression<T>>&... pairs)
{
    Module module;
    module.name = "rtree";
    module.arguments.push_back(primaryKey);
    (module.arguments.insert(module.arguments.end(), {Expression<void>(pairs.first), Expression<void>(pairs.second)}), ...);
    return module;
}

// ("t" MATCH pattern): a text pattern is always a bound value.
Expression<bool> match(const VirtualTable& table, const std::string& pattern);
Expression<bool> match(const VirtualTable& table, const Expression<std::string>& pattern);
Expression<std::optional<bool>> match(const VirtualTable& table, const Expression<std::optional<std::string>>& pattern);

// The query with the match condition added to its filter (ANDed to an earlier one).
VirtualTable filter(const VirtualTable& table, const std::string& pattern);
VirtualTable filter(const VirtualTable& table, const Expression<std::string>& pattern);
VirtualTable filter(const VirtualTable& table, const Expression<std::optional<std::string>>& pattern);

} // namespace velquine::sql
