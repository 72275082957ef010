#pragma once

// One index of an existing table as the schema reader sees it, and its CREATE INDEX text.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velquine::sql {

struct IndexDefinition {
    enum class Order { ASC, DESC };

    // An index name longer than maximumNameLength characters.
    class IndexError : public std::runtime_error {
    public:
        enum class Kind { tooLong };

        static IndexError tooLong(std::string indexName, std::string tableName);

        Kind kind() const noexcept { return Kind::tooLong; }
        const std::string& indexName() const noexcept { return indexName_; }
        const std::string& tableName() const noexcept { return tableName_; }
        // "Index name 'ix' on table 't' is too long; the limit is 64 characters"
        std::string errorDescription() const { return what(); }

    private:
        IndexError(std::string indexName, std::string tableName, const std::string& text);
        std::string indexName_;
        std::string tableName_;
    };

    static constexpr std::size_t maximumNameLength = 64;

    std::string table;
    std::string name;
    bool unique = false;
    std::vector<std::string> columns;
    // The condition of a partial index, without WHERE.
    std::optional<std::string> where;
    // Per-column sort order; a column missing from the map has no order written.
    std::optional<std::map<std::string, Order>> orders;

    // The first four fields as given; `where` and `orders` read out of the index's CREATE text (both
    // absent without one). `where` is everything after the first " WHERE ", line breaks included;
    // `orders` maps every column written before " DESC" to DESC.
    static IndexDefinition fromCreateSQL(std::string table, std::string name, bool unique,
                                         std::vector<std::string> columns, const std::optional<std::string>& createSQL);

    // Throws IndexError tooLong when the name has more than 64 characters.
    void checkNameLength() const;

    // CREATE [UNIQUE] INDEX [IF NOT EXISTS] "name" ON "table" ("a", "b" DESC) [WHERE condition]
    std::string createStatement(bool ifNotExists = false) const;

    friend bool operator==(const IndexDefinition&, const IndexDefinition&) = default;
};

// "ASC", "DESC"
std::string rawValue(IndexDefinition::Order order);
std::optional<IndexDefinition::Order> indexOrderFromRawValue(std::string_view text);

} // namespace velquine::sql
