#pragma once

// A view of the row on which a statement currently stands.

#include "sql/Value.h"

#include <cstdint>
#include <iterator>
#include <string>

struct sqlite3_stmt;

namespace velquine::sql {

class Cursor {
public:
    Cursor() = default;
    Cursor(sqlite3_stmt* handle, std::int64_t columnCount) : handle_(handle), columnCount_(columnCount) {}

    std::int64_t columnCount() const noexcept { return columnCount_; }

    // Column i (from 0) by its storage class: Int64, Double, text, Blob, or absent for NULL. Text
    // and blobs are read with their exact byte length, so embedded NUL bytes survive.
    OptBinding operator[](int i) const;

    // Typed reads that rely on the engine's own conversions.
    double getDouble(int i) const;
    std::int64_t getInt64(int i) const;
    // Throws std::out_of_range when the stored number does not fit an int.
    int getInt(int i) const;
    bool getBool(int i) const;
    std::string getString(int i) const;
    Blob getBlob(int i) const;

    // Iteration over the columns of the current row.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = OptBinding;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = OptBinding;

        Iterator() = default;
        Iterator(const Cursor* cursor, std::int64_t index) : cursor_(cursor), index_(index) {}
        OptBinding operator*() const { return (*cursor_)[static_cast<int>(index_)]; }
        Iterator& operator++() { ++index_; return *this; }
        Iterator operator++(int) { Iterator old = *this; ++index_; return old; }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }

    private:
        const Cursor* cursor_ = nullptr;
        std::int64_t index_ = 0;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, columnCount_); }

private:
    sqlite3_stmt* handle_ = nullptr;
    std::int64_t columnCount_ = 0;
};

} // namespace velquine::sql
