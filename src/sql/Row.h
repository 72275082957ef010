#pragma once

// The rows of a query: each row's values in result-column order plus the query's column-name map,
// read by column expression; and the iterator over the rows of a prepared statement.

#include "sql/Errors.h"
#include "sql/Expression.h"
#include "sql/Statement.h"
#include "sql/Value.h"

#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace velquine::sql {

struct Row {
    std::shared_ptr<const ColumnNameMap> columnNames;
    std::vector<OptBinding> values;

    Row(std::shared_ptr<const ColumnNameMap> columnNames, std::vector<OptBinding> values)
        : columnNames(std::move(columnNames)), values(std::move(values))
    {
    }

    // The position of a column template: the exact key, else the one key ending in "." and the
    // template. Throws QueryError noSuchColumn (listing every key) or ambiguousColumn (listing the
    // candidates), both lists in ascending order.
    int position(const std::string& columnTemplate) const;

    // The value of an optional column: absent for NULL or a value not of V's storage form. A failed
    // conversion of the stored value is passed on.
    template <SQLValue V> std::optional<V> get(const Expression<std::optional<V>>& column) const
    {
        return read<V>(column.templ);
    }

    // The value of a column; an absent value throws QueryError unexpectedNullValue.
    template <SQLValue V> V get(const Expression<V>& column) const
    {
        std::optional<V> value = read<V>(column.templ);
        if (!value)
            throw QueryError::unexpectedNullValue(column.templ);
        return std::move(*value);
    }

    // As get(), without an error channel: any failure gives no value.
    template <class T>
        requires SQLValue<unwrap_t<T>>
    std::optional<unwrap_t<T>> operator[](const Expression<T>& column) const noexcept
    {
        try {
            return read<unwrap_t<T>>(column.templ);
        } catch (...) {
            return std::nullopt;
        }
    }

private:
    template <SQLValue V> std::optional<V> read(const std::string& columnTemplate) const
    {
        int index = position(columnTemplate);
        if (index < 0 || static_cast<std::size_t>(index) >= values.size())
            return std::nullopt;
        return valueFromBinding<V>(values[static_cast<std::size_t>(index)]);
    }
};

// Steps a prepared statement and hands out its rows; copies share the statement and its position.
class RowIterator {
public:
    RowIterator(std::shared_ptr<Statement> statement, std::shared_ptr<const ColumnNameMap> columnNames)
        : statement_(std::move(statement)), columnNames_(std::move(columnNames))
    {
    }

    const std::shared_ptr<Statement>& statement() const noexcept { return statement_; }
    const std::shared_ptr<const ColumnNameMap>& columnNames() const noexcept { return columnNames_; }

    // The next row, none at the end; a failing step throws its Result.
    std::optional<Row> failableNext();
    // The same without an error channel: a failing step ends the rows and is logged.
    std::optional<Row> next() noexcept;
    // Replaces `current` by the next row, reusing its storage (a walk over many rows allocates once, not per
    // row); false at the end, with `current` left empty. A failing step throws its Result.
    bool failableAdvance(std::optional<Row>& current);

    // Every remaining row transformed, in order; the first failure of a step or of the transform is
    // passed on and the rows collected so far are dropped.
    template <class F> auto map(F&& transform) -> std::vector<std::invoke_result_t<F&, const Row&>>
    {
        std::vector<std::invoke_result_t<F&, const Row&>> results;
        while (auto row = failableNext())
            results.push_back(transform(*row));
        return results;
    }
    // As map, leaving out absent results.
    template <class F>
    auto compactMap(F&& transform) -> std::vector<typename std::invoke_result_t<F&, const Row&>::value_type>
    {
        std::vector<typename std::invoke_result_t<F&, const Row&>::value_type> results;
        while (auto row = failableNext()) {
            if (auto value = transform(*row))
                results.push_back(std::move(*value));
        }
        return results;
    }

    // Range iteration over the remaining rows (begin() asks for the first one); a failing step ends it.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Row;
        using difference_type = std::ptrdiff_t;
        using pointer = const Row*;
        using reference = const Row&;

        Iterator() = default;
        explicit Iterator(RowIterator* rows) : rows_(rows) { rows_->advance(current_); }
        reference operator*() const { return *current_; }
        pointer operator->() const { return &*current_; }
        Iterator& operator++()
        {
            rows_->advance(current_);
            return *this;
        }
        void operator++(int) { ++*this; }
        friend bool operator==(const Iterator& it, std::default_sentinel_t) { return !it.current_; }

    private:
        RowIterator* rows_ = nullptr;
        std::optional<Row> current_;
    };
    Iterator begin() { return Iterator(this); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    // Replaces `current` by the next row, reusing its storage; none at the end or after a failure,
    // which is logged.
    void advance(std::optional<Row>& current) noexcept;

    std::shared_ptr<Statement> statement_;
    std::shared_ptr<const ColumnNameMap> columnNames_;
};

} // namespace velquine::sql
