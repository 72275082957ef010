#include "model/graph/SharedNodeBin.h"

#include <algorithm>
#include <cassert>

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
    // Leaves split the identifiers into ranges, so an identifier between a leaf's first and last key is in
    // that leaf or nowhere.
    const Block* block = finger.leaf_;
    // The identifier after the last one found, as when walking nodes numbered in the order they are read.
    if (block && finger.next_ < block->keys.size() && block->keys[finger.next_] == uid)
        return found(*block, finger.next_, finger);
    if (!block || block->keys.empty() || uid < block->keys.front() || uid > block->keys.back()) {
        block = root_.get();
        while (!block->leaf)
            block = block->children[childIndex(*block, uid)].get();
        finger.leaf_ = block;
        finger.fetchedTo_ = 0;
        finger.listsFetchedTo_ = 0;
    }
    const auto at = std::lower_bound(block->keys.begin(), block->keys.end(), uid);
    if (at == block->keys.end() || *at != uid)
        return nullptr;
    return found(*block, static_cast<std::size_t>(at - block->keys.begin()), finger);
}

const Node* SharedNodeBin::found(const Block& leaf, std::size_t index, Finger& finger)
{
    finger.next_ = index + 1;
    if (finger.readAhead_ != 0)
        readAhead(leaf, index, finger);
    return &leaf.cells[index]->second;
}

void SharedNodeBin::readAhead(const Block& leaf, std::size_t index, Finger& finger)
{
    const std::size_t end = std::min(leaf.cells.size(), index + 1 + finger.readAhead_);
    for (std::size_t i = std::max(finger.fetchedTo_, index + 1); i < end; ++i) {
        // What a walk reads first of a node: its links, centre, size, shape and border, in its first 120 bytes
        // and so in at most three lines of the cache.
        const char* cell = reinterpret_cast<const char*>(leaf.cells[i].get());
        __builtin_prefetch(cell);
        __builtin_prefetch(cell + 64);
        __builtin_prefetch(cell + 120);
    }
    finger.fetchedTo_ = std::max(finger.fetchedTo_, end);
    // Halfway there the node has arrived: its children list is fetched next.
    const std::size_t halfway = index + 1 + finger.readAhead_ / 2;
    if (halfway < leaf.cells.size() && halfway >= finger.listsFetchedTo_) {
        const std::vector<std::int64_t>& children = leaf.cells[halfway]->second.childrenUIDs;
        if (!children.empty())
            __builtin_prefetch(children.data());
        finger.listsFetchedTo_ = halfway + 1;
    }
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
        store(uid, std::make_shared<value_type>(uid, node));
}

void SharedNodeBin::assign(std::int64_t uid, Node&& node)
{
    if (!holdsEqual(uid, node))
        store(uid, std::make_shared<value_type>(uid, std::move(node)));
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
        cell = std::make_shared<value_type>(*cell);
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
