#include "model/graph/SharedNodeBin.h"

#include <algorithm>
#include <cassert>

#include "platform/SlotPool.h"

namespace velquine {

// ---- Iteration ----

void SharedNodeBin::const_iterator::descendFirst(const Block* block)
{
    while (!block->leaf) {
        assert(depth_ < maxDepth);
        path_[depth_++] = {block, 0};
        block = block->children.front().get();
    }
    if (block->cells.empty()) {
        depth_ = 0;
        return;
    }
    assert(depth_ < maxDepth);
    path_[depth_++] = {block, 0};
}

void SharedNodeBin::const_iterator::nextLeaf()
{
    --depth_;
    while (depth_ > 0) {
        Frame& frame = path_[depth_ - 1];
        if (++frame.index < frame.block->children.size()) {
            descendFirst(frame.block->children[frame.index].get());
            return;
        }
        --depth_;
    }
}

bool SharedNodeBin::const_iterator::skipSharedWith(const_iterator& other)
{
    if (depth_ == 0 || other.depth_ == 0)
        return false;
    std::size_t mine = depth_ - 1;
    std::size_t theirs = other.depth_ - 1;
    if (path_[mine].block != other.path_[theirs].block || path_[mine].index != other.path_[theirs].index)
        return false;
    // One place in one block: the rest of it is the same run for both, and so is the rest of every block above
    // in which both stand at one place too.
    while (mine > 0 && theirs > 0 && path_[mine - 1].block == other.path_[theirs - 1].block
           && path_[mine - 1].index == other.path_[theirs - 1].index) {
        --mine;
        --theirs;
    }
    depth_ = mine + 1;
    nextLeaf();
    other.depth_ = theirs + 1;
    other.nextLeaf();
    return true;
}

SharedNodeBin::const_iterator SharedNodeBin::begin() const
{
    const_iterator it;
    it.descendFirst(root_.get());
    return it;
}

SharedNodeBin::const_iterator SharedNodeBin::find(std::int64_t uid) const
{
    const_iterator it;
    const Block* block = root_.get();
    while (!block->leaf) {
        const std::size_t index = childIndex(*block, uid);
        it.path_[it.depth_++] = {block, index};
        block = block->children[index].get();
    }
    const auto at = std::lower_bound(block->keys.begin(), block->keys.end(), uid);
    if (at == block->keys.end() || *at != uid)
        return {};
    it.path_[it.depth_++] = {block, static_cast<std::size_t>(at - block->keys.begin())};
    return it;
}

const SharedNodeBin::Block& SharedNodeBin::edgeLeaf(bool last) const
{
    const Block* block = root_.get();
    while (!block->leaf)
        block = (last ? block->children.back() : block->children.front()).get();
    assert(!block->keys.empty());
    return *block;
}

std::int64_t SharedNodeBin::firstUID() const { return edgeLeaf(false).keys.front(); }

std::int64_t SharedNodeBin::lastUID() const { return edgeLeaf(true).keys.back(); }

// ---- Construction ----

SharedNodeBin::BlockPtr SharedNodeBin::emptyBlock()
{
    // One empty leaf shared by every empty bin; being shared, it is copied before any change.
    static const BlockPtr empty = std::make_shared<Block>();
    return empty;
}

SharedNodeBin::SharedNodeBin() : root_(emptyBlock()) { }

SharedNodeBin::SharedNodeBin(SharedNodeBin&& other) noexcept : root_(std::exchange(other.root_, emptyBlock())) { }

SharedNodeBin& SharedNodeBin::operator=(SharedNodeBin&& other) noexcept
{
    if (this != &other)
        root_ = std::exchange(other.root_, emptyBlock());
    return *this;
}

void SharedNodeBin::clear() { root_ = emptyBlock(); }

// ---- Lookup ----

std::size_t SharedNodeBin::childIndex(const Block& block, std::int64_t uid)
{
    const auto after = std::upper_bound(block.keys.begin(), block.keys.end(), uid);
    return after == block.keys.begin() ? 0 : static_cast<std::size_t>(after - block.keys.begin()) - 1;
}

const std::shared_ptr<SharedNodeBin::value_type>* SharedNodeBin::findCell(std::int64_t uid) const
{
    const Block* block = root_.get();
    while (!block->leaf)
        block = block->children[childIndex(*block, uid)].get();
    const auto at = std::lower_bound(block->keys.begin(), block->keys.end(), uid);
    if (at == block->keys.end() || *at != uid)
        return nullptr;
    return &block->cells[static_cast<std::size_t>(at - block->keys.begin())];
}

const Node* SharedNodeBin::lookup(std::int64_t uid) const
{
    const auto* cell = findCell(uid);
    return cell ? &(*cell)->second : nullptr;
}

const Node* SharedNodeBin::lookup(std::int64_t uid, Finger& finger) const
{
    Finger::Place* place = &finger.places_[finger.recent_];
    // The identifier after the last one found, as when walking nodes numbered in the order they are read.
    if (place->leaf && place->next < place->leaf->keys.size() && place->leaf->keys[place->next] == uid)
        return found(*place, place->next, finger.readAhead_);
    const Block& leaf = placeFor(uid, finger);
    place = &finger.places_[finger.recent_];
    const auto at = std::lower_bound(leaf.keys.begin(), leaf.keys.end(), uid);
    if (at == leaf.keys.end() || *at != uid)
        return nullptr;
    return found(*place, static_cast<std::size_t>(at - leaf.keys.begin()), finger.readAhead_);
}

const SharedNodeBin::Block& SharedNodeBin::placeFor(std::int64_t uid, Finger& finger) const
{
    // Leaves split the identifiers into ranges, so an identifier between a leaf's first and last key is in
    // that leaf or nowhere.
    const auto holds = [uid](const Block* leaf) {
        return leaf && !leaf->keys.empty() && uid >= leaf->keys.front() && uid <= leaf->keys.back();
    };
    std::size_t leastUsed = 0;
    for (std::size_t i = 0; i < Finger::placeCount; ++i) {
        Finger::Place& place = finger.places_[i];
        if (place.used < finger.places_[leastUsed].used)
            leastUsed = i;
        if (!place.leaf)
            continue;
        const Block* next = nullptr;
        if (!holds(place.leaf)) {
            next = !place.leaf->keys.empty() && uid > place.leaf->keys.back() ? nextLeaf(place) : nullptr;
            if (!holds(next))
                continue;
            // On into the next leaf, with what was fetched of it.
            const std::size_t size = place.leaf->cells.size();
            place.leaf = next;
            ++place.leafIndex;
            place.next = 0;
            place.fetchedTo = place.fetchedTo > size ? place.fetchedTo - size : 0;
            place.listsFetchedTo = place.listsFetchedTo > size ? place.listsFetchedTo - size : 0;
            if (finger.readAhead_ != 0)
                fetchLeavesAfter(place);
        }
        finger.recent_ = i;
        place.used = ++finger.uses_;
        return *place.leaf;
    }
    Finger::Place& place = finger.places_[leastUsed];
    place = {};
    const Block* block = root_.get();
    while (!block->leaf) {
        place.parent = block;
        place.leafIndex = childIndex(*block, uid);
        block = block->children[place.leafIndex].get();
    }
    place.leaf = block;
    place.used = ++finger.uses_;
    finger.recent_ = leastUsed;
    if (finger.readAhead_ != 0)
        fetchLeavesAfter(place);
    return *block;
}

const SharedNodeBin::Block* SharedNodeBin::nextLeaf(const Finger::Place& place)
{
    if (!place.parent || place.leafIndex + 1 >= place.parent->children.size())
        return nullptr;
    return place.parent->children[place.leafIndex + 1].get();
}

void SharedNodeBin::fetchLeavesAfter(const Finger::Place& place)
{
    // The next leaf's lists of identifiers and cells, which the nodes fetched ahead are found through once the
    // walk nears the end of this leaf, and the block of the leaf after it, to do the same on the next step.
    const Block* next = nextLeaf(place);
    if (!next)
        return;
    fetchBytes(next->cells.data(), next->cells.size() * sizeof(next->cells.front()));
    fetchBytes(next->keys.data(), next->keys.size() * sizeof(next->keys.front()));
    if (place.leafIndex + 2 < place.parent->children.size())
        __builtin_prefetch(place.parent->children[place.leafIndex + 2].get());
}

const Node* SharedNodeBin::found(Finger::Place& place, std::size_t index, std::size_t readAhead)
{
    place.next = index + 1;
    if (readAhead != 0)
        SharedNodeBin::readAhead(place, index, readAhead);
    return &place.leaf->cells[index]->second;
}

void SharedNodeBin::readAhead(Finger::Place& place, std::size_t index, std::size_t readAhead)
{
    const Block& leaf = *place.leaf;
    const std::size_t size = leaf.cells.size();
    const Block* next = nullptr;
    if (index + 1 + readAhead > size)
        next = nextLeaf(place);
    const auto cellAt = [&](std::size_t i) -> const value_type* {
        if (i < size)
            return leaf.cells[i].get();
        return next && i - size < next->cells.size() ? next->cells[i - size].get() : nullptr;
    };
    std::size_t i = std::max(place.fetchedTo, index + 1);
    for (const std::size_t end = index + 1 + readAhead; i < end; ++i) {
        const value_type* cell = cellAt(i);
        if (!cell)
            break;
        // What a walk reads first of a node: its links, centre, size, shape and border, in the first two lines
        // of its cell.
        const char* first = reinterpret_cast<const char*>(cell);
        __builtin_prefetch(first);
        __builtin_prefetch(first + 64);
    }
    place.fetchedTo = std::max(place.fetchedTo, i);
    // Halfway there a node has arrived: its children list is fetched next.
    i = std::max(place.listsFetchedTo, index + 1);
    for (const std::size_t end = index + 1 + (readAhead + 1) / 2; i < end; ++i) {
        const value_type* cell = cellAt(i);
        if (!cell)
            break;
        const std::vector<std::int64_t>& children = cell->second.childrenUIDs;
        if (!children.empty())
            fetchBytes(children.data(), children.size() * sizeof(children.front()));
    }
    place.listsFetchedTo = std::max(place.listsFetchedTo, i);
}

SharedNodeBin::Entry SharedNodeBin::entry(std::int64_t uid) const
{
    const auto* cell = findCell(uid);
    return cell ? Entry(*cell) : nullptr;
}

std::shared_ptr<const Node> SharedNodeBin::sharedNode(std::int64_t uid) const
{
    const auto* cell = findCell(uid);
    return cell ? std::shared_ptr<const Node>(*cell, &(*cell)->second) : nullptr;
}

// ---- Changes ----

// What a walk reads first of a node (its identifier, links, centre, size, shape and border) lies in the first
// two cache lines of its cell, which is what the read-ahead fetches: a walk over a large map fetches two lines
// of each node instead of three (with the node's fields ordered so, layouts of 100,000 nodes took 18.7-29.5 ms
// instead of 27.2-38.2 ms). The offsets are the compiler's own for these types, which are not standard layout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
namespace {
constexpr std::size_t cacheLine = 64;
constexpr std::size_t nodeInEntry = offsetof(SharedNodeBin::value_type, second);
constexpr std::size_t borderInNode = offsetof(Node, style) + offsetof(NodeStyle, borderWidth);
} // namespace
static_assert(alignof(SharedNodeBin::value_type) <= cacheLine && cacheLine % alignof(SharedNodeBin::value_type) == 0);
static_assert(SharedNodeBin::maxEntryLeadInLine + nodeInEntry + offsetof(Node, uid) + sizeof(Node::uid) <= cacheLine,
              "a node's identifier lies in its cell's first cache line");
static_assert(nodeInEntry + borderInNode >= cacheLine
                  && SharedNodeBin::maxEntryLeadInLine + nodeInEntry + borderInNode + sizeof(NodeStyle::borderWidth)
                         <= 2 * cacheLine,
              "a node's border width lies in its cell's second cache line");
static_assert(offsetof(Node, shape) < borderInNode, "a node's shape lies before its border width");
#pragma GCC diagnostic pop

template <class... Args>
std::shared_ptr<SharedNodeBin::value_type> SharedNodeBin::makeCell(Args&&... args)
{
    // Cells come from huge-page slabs, side by side in the order they are made, so that a walk over a large
    // map touches few pages; a cell may die on any thread (a copy of the graph saved or exported elsewhere).
    // Each cell starts on a cache line, so that what a walk reads first of a node lies in two lines.
    return std::allocate_shared<value_type>(SlotAllocator<value_type, 64>(), std::forward<Args>(args)...);
}

SharedNodeBin::Block& SharedNodeBin::own(BlockPtr& block)
{
    if (block.use_count() != 1)
        block = std::make_shared<Block>(*block);
    return *block;
}

SharedNodeBin::BlockPtr SharedNodeBin::split(Block& block)
{
    auto right = std::make_shared<Block>();
    right->leaf = block.leaf;
    const std::size_t half = block.keys.size() / 2;
    right->keys.assign(block.keys.begin() + static_cast<std::ptrdiff_t>(half), block.keys.end());
    block.keys.resize(half);
    if (block.leaf) {
        right->cells.assign(std::make_move_iterator(block.cells.begin() + static_cast<std::ptrdiff_t>(half)),
                            std::make_move_iterator(block.cells.end()));
        block.cells.resize(half);
        right->size = right->cells.size();
    } else {
        right->children.assign(std::make_move_iterator(block.children.begin() + static_cast<std::ptrdiff_t>(half)),
                               std::make_move_iterator(block.children.end()));
        block.children.resize(half);
        for (const BlockPtr& child : right->children)
            right->size += child->size;
    }
    block.size -= right->size;
    return right;
}

SharedNodeBin::BlockPtr SharedNodeBin::insertInto(BlockPtr& blockPtr, std::int64_t uid,
                                                  std::shared_ptr<value_type>&& cell, bool& added)
{
    Block& block = own(blockPtr);
    if (block.leaf) {
        const auto at = std::lower_bound(block.keys.begin(), block.keys.end(), uid);
        const auto index = at - block.keys.begin();
        if (at != block.keys.end() && *at == uid) {
            block.cells[static_cast<std::size_t>(index)] = std::move(cell);
            added = false;
            return nullptr;
        }
        block.keys.insert(at, uid);
        block.cells.insert(block.cells.begin() + index, std::move(cell));
        ++block.size;
        added = true;
    } else {
        const std::size_t index = childIndex(block, uid);
        if (uid < block.keys[index])
            block.keys[index] = uid;
        BlockPtr right = insertInto(block.children[index], uid, std::move(cell), added);
        if (added)
            ++block.size;
        if (right) {
            const auto at = static_cast<std::ptrdiff_t>(index) + 1;
            block.keys.insert(block.keys.begin() + at, right->keys.front());
            block.children.insert(block.children.begin() + at, std::move(right));
        }
    }
    return block.keys.size() > maxFanOut ? split(block) : nullptr;
}

bool SharedNodeBin::holdsEqual(std::int64_t uid, const Node& node) const
{
    const Node* stored = lookup(uid);
    return stored && stored->modifiedTimestamp == node.modifiedTimestamp && !stored->differs(node);
}

void SharedNodeBin::assign(std::int64_t uid, const Node& node)
{
    if (!holdsEqual(uid, node))
        store(uid, makeCell(uid, node));
}

void SharedNodeBin::assign(std::int64_t uid, Node&& node)
{
    if (!holdsEqual(uid, node))
        store(uid, makeCell(uid, std::move(node)));
}

void SharedNodeBin::assign(const Entry& entry)
{
    // The bin writes into a cell only when nobody else holds it, so sharing a const entry is safe.
    store(entry->first, std::const_pointer_cast<value_type>(entry));
}

void SharedNodeBin::store(std::int64_t uid, std::shared_ptr<value_type>&& cell)
{
    bool added = false;
    BlockPtr right = insertInto(root_, uid, std::move(cell), added);
    if (right) {
        auto top = std::make_shared<Block>();
        top->leaf = false;
        top->size = root_->size + right->size;
        top->keys = {root_->keys.front(), right->keys.front()};
        top->children = {std::move(root_), std::move(right)};
        root_ = std::move(top);
    }
}

SharedNodeBin::Block& SharedNodeBin::ownedLeaf(std::int64_t uid)
{
    Block* block = &own(root_);
    while (!block->leaf)
        block = &own(block->children[childIndex(*block, uid)]);
    return *block;
}

Node& SharedNodeBin::ownedNode(Block& leaf, std::int64_t uid)
{
    const auto at = std::lower_bound(leaf.keys.begin(), leaf.keys.end(), uid);
    auto& cell = leaf.cells[static_cast<std::size_t>(at - leaf.keys.begin())];
    if (cell.use_count() != 1)
        cell = makeCell(*cell);
    return cell->second;
}

Node* SharedNodeBin::mutableNode(std::int64_t uid)
{
    if (!lookup(uid))
        return nullptr;
    return &ownedNode(ownedLeaf(uid), uid);
}

void SharedNodeBin::eraseFrom(BlockPtr& blockPtr, std::int64_t uid)
{
    Block& block = own(blockPtr);
    --block.size;
    if (block.leaf) {
        const auto at = std::lower_bound(block.keys.begin(), block.keys.end(), uid);
        const auto index = at - block.keys.begin();
        block.keys.erase(at);
        block.cells.erase(block.cells.begin() + index);
        return;
    }
    const std::size_t index = childIndex(block, uid);
    eraseFrom(block.children[index], uid);
    if (block.children[index]->size == 0) {
        block.keys.erase(block.keys.begin() + static_cast<std::ptrdiff_t>(index));
        block.children.erase(block.children.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

SharedNodeBin::size_type SharedNodeBin::erase(std::int64_t uid)
{
    if (!lookup(uid))
        return 0;
    eraseFrom(root_, uid);
    // A top block left with one child gives way to it; an empty one to the shared empty leaf.
    while (!root_->leaf && root_->children.size() == 1) {
        BlockPtr child = root_->children.front();
        root_ = std::move(child);
    }
    if (root_->size == 0)
        root_ = emptyBlock();
    return 1;
}

} // namespace velquine
