#pragma once

// Values by node identifier, for the walks of a layout and the canvas's look-ups of layers by node. A graph
// numbers its nodes as it makes them, so most identifiers lie close together: those inside a range of close
// numbers are kept in pages of consecutive identifiers, made on first use, so that a walk over nodes numbered
// as they were made reads neighbouring slots and a tree of a hundred thousand nodes costs no allocation per
// node; any other identifier goes to a flat hash table. A value equal to T() holds nothing.
//
// What it buys, measured: tree layouts read their index a page at a time where a hash read it at random
// (with the store's look-ups from the last leaf, bench_GraphLayouters 10,000 / 100,000 nodes, medians of 5:
// verticalLayout deep 2.07 / 32.9 -> 1.21 / 21.3 ms, verticalBalance wide 3.46 / 45.7 -> 1.44 / 25.5 ms);
// the canvas's reloads tell the nodes they visit by marks instead of searching the sorted list
// (BM_NewChildCommandOutsidePaint, 10,000 nodes, 14.3 -> 13.6 ms).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/FlatHashMap.h"

namespace velquine {

// Identifiers first to last, both included; empty when last < first.
struct UidRange {
    std::int64_t first = 0;
    std::int64_t last = -1;

    bool empty() const { return last < first; }
};

template <class T>
class UidMap {
public:
    // Empty; identifiers of the range are to be kept in pages, room is made for about the expected number of
    // others.
    explicit UidMap(UidRange close = {}, std::size_t expectedOthers = 0)
    {
        clear(close);
        if (expectedOthers > 0)
            others_.reserve(expectedOthers);
    }

    // Empties the map, keeping its room; identifiers of the range are to be kept in pages.
    void clear(UidRange close = {})
    {
        directory_.clear();
        pages_.clear();
        others_.clear();
        first_ = close.first;
        span_ = 0;
        if (!close.empty())
            growTo(std::uint64_t(close.last) - std::uint64_t(close.first) + 1);
    }

    // In place of everything held, the identifiers, given in ascending order, each with the value; they are
    // kept in pages when they lie close together.
    void assign(const std::vector<std::int64_t>& ascending, const T& value)
    {
        UidRange close;
        if (!ascending.empty() &&
            std::uint64_t(ascending.back()) - std::uint64_t(ascending.front()) < 4 * std::uint64_t(ascending.size()) + 64)
            close = {ascending.front(), ascending.back()};
        clear(close);
        for (std::int64_t uid : ascending)
            (*this)[uid] = value;
    }

    // The value under the identifier, or null when there is none.
    const T* find(std::int64_t uid) const
    {
        if (const std::uint64_t offset = offsetOf(uid); offset < span_) {
            const std::uint32_t page = directory_[std::size_t(offset >> pageBits)];
            if (page == noPage)
                return nullptr;
            const T& value = pages_[page + std::size_t(offset & (pageSize - 1))].value;
            return value == T() ? nullptr : &value;
        }
        const T* value = others_.find(uid);
        return value && !(*value == T()) ? value : nullptr;
    }
    T* find(std::int64_t uid) { return const_cast<T*>(std::as_const(*this).find(uid)); }
    bool contains(std::int64_t uid) const { return find(uid) != nullptr; }

    // The value under the identifier, made T() when there is none.
    T& operator[](std::int64_t uid)
    {
        if (span_ == 0 && others_.empty())
            first_ = uid;
        std::uint64_t offset = offsetOf(uid);
        // The pages reach over identifiers just past their end: the next nodes a graph makes.
        if (offset >= span_ && uid >= first_ && offset < 2 * span_ + pageSize) {
            growTo(std::max(offset + 1, 2 * span_));
            takeCoveredOthers();
        }
        if (offset < span_) {
            std::uint32_t& page = directory_[std::size_t(offset >> pageBits)];
            if (page == noPage) {
                page = std::uint32_t(pages_.size());
                pages_.resize(pages_.size() + pageSize);
            }
            return pages_[page + std::size_t(offset & (pageSize - 1))].value;
        }
        return *others_.emplace(uid).first;
    }

    // Stores the value unless the identifier holds one already; true when it was stored.
    bool insert(std::int64_t uid, T value)
    {
        T& held = (*this)[uid];
        if (!(held == T()))
            return false;
        held = std::move(value);
        return true;
    }

    // Whatever the identifier holds goes.
    void erase(std::int64_t uid)
    {
        if (T* value = find(uid))
            *value = T();
    }

private:
    static constexpr unsigned pageBits = 8;
    static constexpr std::uint64_t pageSize = std::uint64_t{1} << pageBits;
    static constexpr std::uint32_t noPage = static_cast<std::uint32_t>(-1);

    // The identifier's place from the first of the range (past its end for identifiers below it, which wrap
    // round).
    std::uint64_t offsetOf(std::int64_t uid) const { return std::uint64_t(uid) - std::uint64_t(first_); }

    // Makes the range the given number of identifiers long, in whole pages.
    void growTo(std::uint64_t span)
    {
        span_ = (span + pageSize - 1) & ~(pageSize - 1);
        directory_.resize(std::size_t(span_ >> pageBits), noPage);
    }

    // Values hashed under identifiers the range now covers move into pages.
    void takeCoveredOthers()
    {
        others_.forEach([this](std::int64_t uid, T& value) {
            if (offsetOf(uid) < span_ && !(value == T())) {
                T moved = std::exchange(value, T());
                (*this)[uid] = std::move(moved);
            }
        });
    }

    std::int64_t first_ = 0;
    // The length of the range, a whole number of pages.
    std::uint64_t span_ = 0;
    // Per page of the range, where it starts in pages_, or noPage while no identifier of it is stored.
    std::vector<std::uint32_t> directory_;
    // A value of a page (in a struct of its own, so that a page of bools is an array of them too).
    struct Cell {
        T value{};
    };
    std::vector<Cell> pages_;
    // Identifiers outside the range.
    FlatHashMap<std::int64_t, T> others_;
};

} // namespace velquine
