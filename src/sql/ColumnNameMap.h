#pragma once

// The column-name map of a query: a result column's name or template to its position (from 0).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace velquine::sql {

// A small map kept as one contiguous list in the order the names were first stored. A query has
// few, short column names and rows look one up for every column they read, so a scan that compares
// lengths first and then whole machine words beats a tree or a hash. Its order is not meaningful:
// error texts sort the names themselves, and two maps are equal when they hold the same entries.
class ColumnNameMap {
public:
    using value_type = std::pair<std::string, int>;
    using const_iterator = std::vector<value_type>::const_iterator;

    ColumnNameMap() = default;
    ColumnNameMap(std::initializer_list<value_type> entries)
    {
        for (const auto& entry : entries)
            (*this)[entry.first] = entry.second;
    }

    // The position stored for the name, added as 0 when the name is new.
    int& operator[](const std::string& name)
    {
        for (auto& entry : entries_) {
            if (same(entry.first, name))
                return entry.second;
        }
        entries_.emplace_back(name, 0);
        return entries_.back().second;
    }

    const_iterator find(const std::string& name) const noexcept
    {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (same(it->first, name))
                return it;
        }
        return entries_.end();
    }
    bool contains(const std::string& name) const noexcept { return find(name) != end(); }

    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }
    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

    friend bool operator==(const ColumnNameMap& a, const ColumnNameMap& b)
    {
        if (a.size() != b.size())
            return false;
        for (const auto& [name, position] : a.entries_) {
            auto it = b.find(name);
            if (it == b.end() || it->second != position)
                return false;
        }
        return true;
    }

private:
    static bool same(const std::string& a, const std::string& b) noexcept
    {
        std::size_t n = a.size();
        if (n != b.size())
            return false;
        const char* p = a.data();
        const char* q = b.data();
        for (; n >= 8; n -= 8, p += 8, q += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, p, 8);
            std::memcpy(&y, q, 8);
            if (x != y)
                return false;
        }
        for (; n > 0; --n, ++p, ++q) {
            if (*p != *q)
                return false;
        }
        return true;
    }

    std::vector<value_type> entries_;
};

} // namespace velquine::sql
