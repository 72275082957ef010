#pragma once

// Node identifiers to small indices, for the walks of a layout: a tree of a hundred thousand nodes costs no
// allocation per node.
//
// Identifiers inside a range given up front (the graph's own, when it numbers its nodes closely, as it does
// when it hands out identifiers in order) are kept in pages of consecutive identifiers made on first use: a
// walk over nodes numbered as they were made reads the index a page at a time, where a hash would read it at
// random. Every other identifier goes to an open-addressed table.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/FlatHashMap.h"

namespace velquine {

class Graph;

// Identifiers first to last, both included; empty when last < first.
struct UidRange {
    std::int64_t first = 0;
    std::int64_t last = -1;

    // The graph's identifiers when they are close enough for pages to cost little (about four bytes per stored
    // node at most), else the empty range.
    static UidRange denseOf(const Graph& graph);
};

class UidIndex {
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    // Room for about the expected number of identifiers outside the range before the table grows.
    explicit UidIndex(std::size_t expected = 0, UidRange paged = {});

    // The index stored for the identifier, or none.
    std::size_t find(std::int64_t uid) const;
    bool contains(std::int64_t uid) const { return find(uid) != none; }
    // Stores the index (below 2^32 - 1) unless the identifier is there already; true when it was stored.
    bool insert(std::int64_t uid, std::size_t value);

private:
    static constexpr std::uint32_t empty = static_cast<std::uint32_t>(-1);
    static constexpr unsigned pageBits = 8;
    static constexpr std::size_t pageSize = std::size_t{1} << pageBits;

    // The identifier's offset in the paged range, or none when it lies outside.
    std::size_t offsetInRange(std::int64_t uid) const;

    std::int64_t first_ = 0;
    std::uint64_t span_ = 0;
    // Per page of the range, where it starts in pages_, or empty while no identifier of it is stored.
    std::vector<std::uint32_t> directory_;
    std::vector<std::uint32_t> pages_;

    // Identifiers outside the range.
    FlatHashMap<std::int64_t, std::uint32_t> others_;
};

} // namespace velquine
