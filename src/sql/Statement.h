#pragma once

// One compiled SQL statement of a connection: prepared from text, bound to values, stepped on the
// connection's queue and read column by column.

#include "sql/ColumnNameMap.h"
#include "sql/Cursor.h"
#include "sql/Value.h"

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace velquine::sql {

class Connection;

// Logs the failure that ended a row iteration without an error channel (the current exception).
void logRowError() noexcept;

class Statement : public std::enable_shared_from_this<Statement> {
public:
    // Compiles the first SQL statement of the text; throws Result when the engine refuses.
    Statement(std::shared_ptr<Connection> connection, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* handle() const noexcept { return handle_; }
    const std::shared_ptr<Connection>& connection() const noexcept { return connection_; }

    // Positional: an empty list changes nothing; otherwise resets, clears every binding and binds
    // value k to parameter k. The number of values must equal the number of parameters.
    Statement& bind(const std::vector<OptBinding>& values);
    Statement& bind(std::initializer_list<OptBinding> values) { return bind(std::vector<OptBinding>(values)); }
    // Named (the name with its prefix character as written in the SQL): always resets and clears.
    Statement& bind(const std::map<std::string, OptBinding>& values);

    // Binds the values (if any are given), then steps from the first row until done.
    Statement& run();
    Statement& run(const std::vector<OptBinding>& values);
    Statement& run(std::initializer_list<OptBinding> values) { return run(std::vector<OptBinding>(values)); }
    Statement& run(const std::map<std::string, OptBinding>& values);

    // Binds the values (if any are given), then steps once from the first row and returns column 0:
    // absent for NULL or when there is no row.
    OptBinding scalar();
    OptBinding scalar(const std::vector<OptBinding>& values);
    OptBinding scalar(std::initializer_list<OptBinding> values) { return scalar(std::vector<OptBinding>(values)); }
    OptBinding scalar(const std::map<std::string, OptBinding>& values);

    // One step on the connection's queue: true when a row is available. Once the statement reported
    // its end, further steps keep reporting it until the statement restarts (run, scalar, reset,
    // a new iteration or a non-empty bind).
    bool step();
    // Back to the start, every binding cleared.
    void reset();

    std::int64_t columnCount();
    const std::vector<std::string>& columnNames();
    const Cursor& row();
    // Each column name quoted as an identifier, mapped to its position; a later duplicate wins.
    ColumnNameMap columnNameMap();

    // The SQL text as the engine keeps it.
    std::string description() const;

    // The next row as a list of values, none at the end; throws the Result of a failing step.
    std::optional<std::vector<OptBinding>> failableNext();
    // The same without an error channel: a failing step ends the rows and is logged.
    std::optional<std::vector<OptBinding>> next() noexcept;
    // Steps and, when there is a row, reads it into `values` (reusing their storage) and returns
    // true; false at the end. A failing step throws its Result.
    bool nextInto(std::vector<OptBinding>& values);

    // Range iteration: begin() restarts the statement (bindings kept) and steps to the first row.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::vector<OptBinding>;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = const value_type&;

        Iterator() = default;
        explicit Iterator(Statement* statement) : statement_(statement) { advance(); }
        reference operator*() const { return *current_; }
        pointer operator->() const { return &*current_; }
        Iterator& operator++() { advance(); return *this; }
        void operator++(int) { advance(); }
        friend bool operator==(const Iterator& it, std::default_sentinel_t) { return !it.current_; }

    private:
        void advance()
        {
            std::vector<OptBinding> buffer;
            if (current_)
                buffer = std::move(*current_);
            current_.reset();
            try {
                if (statement_->nextInto(buffer))
                    current_ = std::move(buffer);
            } catch (...) {
                logRowError();
            }
        }
        Statement* statement_ = nullptr;
        std::optional<std::vector<OptBinding>> current_;
    };
    Iterator begin();
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    void bindValue(int index, const OptBinding& value);
    void readRow(std::vector<OptBinding>& values);
    // Back to the first row, bindings kept.
    void restart();
    [[noreturn]] void fail(int code) const;

    sqlite3_stmt* handle_ = nullptr;
    std::shared_ptr<Connection> connection_;
    std::optional<std::int64_t> columnCount_;
    std::optional<std::vector<std::string>> columnNames_;
    std::optional<Cursor> row_;
    bool done_ = false;
};

// Fills a list from an iterator with failableNext(): rows are appended until it returns none; the
// first failure is passed on.
template <class Iterator> auto collectAll(Iterator& iterator)
{
    std::vector<typename decltype(iterator.failableNext())::value_type> rows;
    while (auto row = iterator.failableNext())
        rows.push_back(std::move(*row));
    return rows;
}

} // namespace velquine::sql
