#pragma once

// The store behind a graph: a map from identifier to node, sorted by identifier, whose copies share storage.
//
// The entries sit in a B-tree of blocks held by shared pointers. Copying a bin copies one pointer. A change
// first copies the blocks on the way to the changed entry that another bin still holds, and the entry itself
// when it is shared (copy on write), so a copy, a change and an old copy kept for later all cost in proportion
// to what changed, not to the size of the map.
//
// Every entry (identifier and node) has storage of its own, shared by all bins holding it unchanged. entry()
// hands it out as a shared pointer: two bins whose entries for an identifier are the same pointer hold the very
// same node. assign() keeps the stored entry when the new node equals it in every field, so storing an
// unchanged node back keeps its identity. Keep the shared pointer (not a raw address) while you mean to
// compare later: an entry nobody else holds may be changed in place by the bin that owns it.
//
// Iteration runs in ascending identifier order and hands out std::pair<const std::int64_t, Node>, as a
// std::map would. Iterators and node pointers stay valid until the bin is next changed.
//
// Look-ups through a Finger start from where the last ones ended and may read ahead: the bin fetches the
// nodes stored after each one found, on into the next leaf, before the walk reaches them. What fingers that
// keep a few places and read on into the next leaf bought, measured (bench_GraphLayouters, 100,000 nodes,
// min of 6 interleaved runs): verticalPlacement 8.65 -> 6.46 ms wide, 6.74 -> 4.71 ms deep;
// horizontalPlacement 10.5 -> 8.94 ms wide, 8.49 -> 7.11 ms deep; unchanged within noise at 10,000. Together
// with the slot pool, 1.3-2x at 100,000 nodes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "model/graph/Node.h"

namespace velquine {

class SharedNodeBin {
public:
    using key_type = std::int64_t;
    using mapped_type = Node;
    using value_type = std::pair<const std::int64_t, Node>;
    using size_type = std::size_t;
    // The shared storage of one entry.
    using Entry = std::shared_ptr<const value_type>;
    // A cell (one entry's storage) is a slot that starts on a cache line and holds the shared counts, then the
    // entry: the entry begins at most this far into the line (the counts take 16 bytes in the standard library
    // we build with).
    static constexpr std::size_t maxEntryLeadInLine = 16;

private:
    struct Block {
        bool leaf = true;
        // Entries at and below this block.
        std::size_t size = 0;
        // In a leaf, the identifiers of the cells. In an inner block, keys[i] is at most the least identifier
        // below children[i] and more than every identifier below children[i - 1].
        std::vector<std::int64_t> keys;
        std::vector<std::shared_ptr<value_type>> cells;
        std::vector<std::shared_ptr<Block>> children;
    };
    using BlockPtr = std::shared_ptr<Block>;

public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = SharedNodeBin::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = const value_type&;

        const_iterator() = default;
        reference operator*() const { return *leaf()->cells[path_[depth_ - 1].index]; }
        pointer operator->() const { return &**this; }
        // The node's shared storage, as SharedNodeBin::sharedNode() hands it out, without a look-up.
        std::shared_ptr<const Node> sharedNode() const
        {
            const auto& cell = leaf()->cells[path_[depth_ - 1].index];
            return std::shared_ptr<const Node>(cell, &cell->second);
        }
        const_iterator& operator++()
        {
            if (++path_[depth_ - 1].index >= leaf()->cells.size())
                nextLeaf();
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        // The entry's shared storage, as SharedNodeBin::entry() hands it out, without a look-up.
        Entry entry() const { return leaf()->cells[path_[depth_ - 1].index]; }
        // At the first entry of a leaf: that leaf, else null. Two bins whose iterators give the same leaf here
        // share its storage, so the same run of entries; skipLeaf() passes the run.
        const void* leafAtStart() const { return depth_ != 0 && path_[depth_ - 1].index == 0 ? leaf() : nullptr; }
        std::size_t leafEntryCount() const { return leaf()->cells.size(); }
        void skipLeaf() { nextLeaf(); }
        // Starts fetching into the processor's cache the whole node stored the given number of places further
        // in this leaf, when there is one: for a walk that reads every field of the nodes it passes.
        void fetchAhead(std::size_t places) const
        {
            const Block* block = leaf();
            const std::size_t index = path_[depth_ - 1].index + places;
            if (index >= block->cells.size())
                return;
            fetchBytes(block->cells[index].get(), sizeof(*block->cells[index]));
        }
        // When both iterators (of two bins) stand at one place of one block of storage, passes the rest of the
        // largest such block for both, the very same run of entries, and returns true; else changes nothing.
        friend bool skipShared(const_iterator& a, const_iterator& b) { return a.skipSharedWith(b); }
        friend bool operator==(const const_iterator& a, const const_iterator& b)
        {
            if (a.depth_ == 0 || b.depth_ == 0)
                return a.depth_ == b.depth_;
            return a.leaf() == b.leaf() && a.path_[a.depth_ - 1].index == b.path_[b.depth_ - 1].index;
        }

    private:
        friend class SharedNodeBin;
        // Deep enough for far more entries than memory holds: a level is only added when the top block
        // overflows.
        static constexpr std::size_t maxDepth = 16;
        struct Frame {
            const Block* block = nullptr;
            std::size_t index = 0;
        };
        const Block* leaf() const { return path_[depth_ - 1].block; }
        // Goes down the first children from the block; ends the iteration at an empty leaf.
        void descendFirst(const Block* block);
        bool skipSharedWith(const_iterator& other);
        void nextLeaf();

        std::array<Frame, maxDepth> path_{};
        std::size_t depth_ = 0; // 0: past the end
    };
    using iterator = const_iterator;

    SharedNodeBin();
    SharedNodeBin(const SharedNodeBin&) = default;
    SharedNodeBin& operator=(const SharedNodeBin&) = default;
    // The bin moved from is left empty.
    SharedNodeBin(SharedNodeBin&& other) noexcept;
    SharedNodeBin& operator=(SharedNodeBin&& other) noexcept;
    ~SharedNodeBin() = default;

    size_type size() const { return root_->size; }
    bool empty() const { return root_->size == 0; }
    size_type count(std::int64_t uid) const { return lookup(uid) ? 1 : 0; }
    const_iterator begin() const;
    const_iterator end() const { return {}; }
    const_iterator find(std::int64_t uid) const;
    // The least and the greatest stored identifier; the bin must not be empty.
    std::int64_t firstUID() const;
    std::int64_t lastUID() const;

    // Where look-ups ended, for the next ones to start from: look-ups of nearby identifiers in a row (the
    // children of one parent, a tree walked in creation order) then skip the walk down from the top. A finger
    // keeps a few such places, so that a walk that takes turns between runs of identifiers far apart (a tree
    // walked depth first, whose generations were numbered one after another) keeps its place in each. Good
    // only for the bin that filled it, while that bin is unchanged.
    class Finger {
    public:
        Finger() = default;
        // A finger that also starts fetching into the processor's cache the first part of the nodes stored up to
        // readAhead places after each one found, on into the next leaf, which a walk in identifier order reads
        // next, and the children lists of those up to half as far.
        explicit Finger(std::size_t readAhead) : readAhead_(readAhead) { }
        // The finger a walk down a tree reads ahead with. What reading ahead buys, measured against a finger
        // that does not (best of 7): 1.2x laying out a whole map of 50,000 nodes (bench_EditCost), 1.2-1.4x
        // placing 100,000 (bench_GraphLayouters); nothing at 10,000.
        static Finger readingAhead() { return Finger(readAheadPlaces); }

    private:
        friend class SharedNodeBin;
        static constexpr std::size_t readAheadPlaces = 16;
        struct Place {
            const Block* leaf = nullptr;
            // The block above the leaf, when known, and the leaf's index in it: the way to the next leaf.
            const Block* parent = nullptr;
            std::size_t leafIndex = 0;
            // The place after the last one found in the leaf.
            std::size_t next = 0;
            // The place after the last one whose node (and children list) was fetched ahead; places past the
            // leaf's end count on into the next leaf.
            std::size_t fetchedTo = 0;
            std::size_t listsFetchedTo = 0;
            // When the place was last used, to tell which one to give up for a new place.
            std::size_t used = 0;
        };
        static constexpr std::size_t placeCount = 4;
        // Forgets every place but the leaf given (without a way on to the next leaf).
        void restartAt(const Block* leaf)
        {
            places_ = {};
            places_[0].leaf = leaf;
            recent_ = 0;
        }

        std::array<Place, placeCount> places_{};
        std::size_t recent_ = 0;
        std::size_t uses_ = 0;
        std::size_t readAhead_ = 0;
    };

    // Whether the two bins hold one and the same storage, so the very same entries: true for a bin and its
    // copy until either changes (and for two empty bins).
    bool sharesStorageWith(const SharedNodeBin& other) const { return root_ == other.root_; }

    // The stored node, or null.
    const Node* lookup(std::int64_t uid) const;
    // The same, starting from the leaf the finger points at when it holds the identifier's range.
    const Node* lookup(std::int64_t uid, Finger& finger) const;
    // The shared storage of the stored entry, or null.
    Entry entry(std::int64_t uid) const;
    // The stored node as a shared pointer into its entry, or null.
    std::shared_ptr<const Node> sharedNode(std::int64_t uid) const;

    // Stores the node under the identifier. A stored node equal to it in every field (modifiedTimestamp
    // included) stays as it is, storage and all.
    void assign(std::int64_t uid, const Node& node);
    void assign(std::int64_t uid, Node&& node);
    // Stores the entry itself under its identifier, sharing its storage with whoever handed it out.
    void assign(const Entry& entry);
    // The stored node, made this bin's own for writing, or null.
    Node* mutableNode(std::int64_t uid);
    // Changes stored nodes where they are: for each index i below count, the node stored under uidAt(i), when
    // there is one and needsChange(node, i) holds, is made this bin's own and handed to change(node, i). Nearby
    // identifiers in a row (a tree moved by a layout) share the walks down from the top. change must leave the
    // node's identifier alone.
    template <class UIDAt, class NeedsChange, class Change>
    void changeEach(std::size_t count, UIDAt&& uidAt, NeedsChange&& needsChange, Change&& change)
    {
        Finger finger;
        Block* owned = nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            const std::int64_t uid = uidAt(i);
            const Node* stored = lookup(uid, finger);
            if (!stored || !needsChange(*stored, i))
                continue;
            if (!owned || uid < owned->keys.front() || uid > owned->keys.back()) {
                owned = &ownedLeaf(uid);
                finger.restartAt(owned);
            }
            change(ownedNode(*owned, uid), i);
        }
    }
    // Removes the entry; 1 when there was one, else 0.
    size_type erase(std::int64_t uid);
    void clear();

private:
    static constexpr std::size_t maxFanOut = 64;

    // Starts fetching the bytes into the processor's cache, a line at a time.
    // Every cache line the bytes touch, from the line the first one lies in.
    static void fetchBytes(const void* data, std::size_t bytes)
    {
        const auto first = reinterpret_cast<std::uintptr_t>(data);
        for (std::uintptr_t line = first & ~std::uintptr_t{63}; line < first + bytes; line += 64)
            __builtin_prefetch(reinterpret_cast<const void*>(line));
    }
    static BlockPtr emptyBlock();
    // The first (or last) leaf; the bin must not be empty.
    const Block& edgeLeaf(bool last) const;
    static Block& own(BlockPtr& block);
    // The leaf that holds (or would hold) the identifier, with every block on the way made this bin's own.
    Block& ownedLeaf(std::int64_t uid);
    // The stored node of an identifier the owned leaf holds, made this bin's own.
    static Node& ownedNode(Block& leaf, std::int64_t uid);
    static std::size_t childIndex(const Block& block, std::int64_t uid);
    const std::shared_ptr<value_type>* findCell(std::int64_t uid) const;
    static BlockPtr split(Block& block);
    static BlockPtr insertInto(BlockPtr& block, std::int64_t uid, std::shared_ptr<value_type>&& cell, bool& added);
    static void eraseFrom(BlockPtr& block, std::int64_t uid);
    // The place of the finger whose leaf holds the identifier's range, stepping on to the next leaf or going
    // down from the top (into the place used least recently) when none does.
    const Block& placeFor(std::int64_t uid, Finger& finger) const;
    static const Block* nextLeaf(const Finger::Place& place);
    // Fetches ahead what stepping on from the place's leaf reads.
    static void fetchLeavesAfter(const Finger::Place& place);
    // The node at the index of the place's leaf, noted in the place.
    static const Node* found(Finger::Place& place, std::size_t index, std::size_t readAhead);
    // Fetches ahead the nodes after the one at index of the place's leaf, as far as readAhead asks.
    static void readAhead(Finger::Place& place, std::size_t index, std::size_t readAhead);
    // Whether the node stored under the identifier equals the node in every field.
    bool holdsEqual(std::int64_t uid, const Node& node) const;
    void store(std::int64_t uid, std::shared_ptr<value_type>&& cell);
    // A new cell holding the entry made from the arguments.
    template <class... Args>
    static std::shared_ptr<value_type> makeCell(Args&&... args);

    BlockPtr root_;
};

} // namespace velquine
