#include "model/graph/Graph.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NumberText.h"

namespace velquine {

namespace {

// Visits, depth first in pre-order, the stored nodes below a top node whose children are given, each identifier
// once (the top node's own identifier counts as visited). visit(node, depth) gets depth 1 for the top's children.
template <class Lookup, class Visit>
void walkBelow(std::int64_t topUID, const std::vector<std::int64_t>& topChildren, Lookup&& lookup, Visit&& visit)
{
    struct Frame {
        const std::vector<std::int64_t>* children;
        std::size_t next;
    };
    std::unordered_set<std::int64_t> visited{topUID};
    std::vector<Frame> stack{{&topChildren, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children->size()) {
            stack.pop_back();
            continue;
        }
        const std::int64_t uid = (*frame.children)[frame.next++];
        const Node* child = lookup(uid);
        if (!child || !visited.insert(uid).second)
            continue;
        visit(*child, static_cast<int>(stack.size()));
        stack.push_back({&child->childrenUIDs, 0});
    }
}

} // namespace

// ---- Queries ----

const Node* Graph::findNode(std::int64_t uid) const { return nodeBin_.lookup(uid); }

Node* Graph::findMutable(std::int64_t uid) { return nodeBin_.mutableNode(uid); }

std::optional<Node> Graph::node(std::int64_t uid) const
{
    if (const Node* found = findNode(uid))
        return *found;
    return std::nullopt;
}

std::optional<Node> Graph::node(std::optional<std::int64_t> uid) const
{
    if (!uid)
        return std::nullopt;
    return node(*uid);
}

std::vector<Node> Graph::nodes(const std::vector<std::int64_t>& uids) const
{
    std::vector<Node> result;
    result.reserve(uids.size());
    for (std::int64_t uid : uids) {
        if (const Node* found = findNode(uid))
            result.push_back(*found);
    }
    return result;
}

std::vector<const Node*> Graph::findNodes(const std::vector<std::int64_t>& uids, std::size_t most) const
{
    std::vector<const Node*> found;
    for (auto uid = uids.begin(); uid != uids.end() && found.size() < most; ++uid)
        if (const Node* node = findNode(*uid))
            found.push_back(node);
    return found;
}

std::vector<Node> Graph::allNodes() const
{
    std::vector<Node> result;
    result.reserve(nodeBin_.size());
    for (const auto& entry : nodeBin_)
        result.push_back(entry.second);
    return result;
}

std::optional<Node> Graph::parent(const Node& node) const { return this->node(node.parentUID); }

NodeType Graph::nodeType(const Node& node) const
{
    if (!node.parentUID)
        return NodeType::root;
    const Node* parent = findNode(*node.parentUID);
    if (!parent)
        return NodeType::sub;
    return parent->parentUID ? NodeType::sub : NodeType::main;
}

int Graph::depth(const Node& node) const
{
    std::unordered_set<std::int64_t> visited{node.uid};
    int result = 0;
    std::optional<std::int64_t> next = node.parentUID;
    while (next) {
        const Node* parent = findNode(*next);
        if (!parent || !visited.insert(*next).second)
            break;
        ++result;
        next = parent->parentUID;
    }
    return result;
}

Node Graph::rootAncestor(const Node& node) const
{
    std::unordered_set<std::int64_t> visited{node.uid};
    const Node* reached = nullptr;
    std::optional<std::int64_t> next = node.parentUID;
    while (next) {
        const Node* parent = findNode(*next);
        if (!parent || !visited.insert(*next).second)
            break;
        reached = parent;
        next = parent->parentUID;
    }
    if (reached)
        return *reached;
    if (const Node* stored = findNode(node.uid))
        return *stored;
    return node;
}

std::vector<Node> Graph::subtree(const Node& node) const
{
    const Node* top = findNode(node.uid);
    if (!top)
        return {};
    std::vector<Node> result{*top};
    walkBelow(node.uid, node.childrenUIDs, [this](std::int64_t uid) { return findNode(uid); },
              [&result](const Node& found, int) { result.push_back(found); });
    return result;
}

std::vector<Node> Graph::descendants(const Node& node) const
{
    // Each visited node contributes the block of its children not seen before; the blocks follow the pre-order
    // of the nodes that contribute them, and a node is descended into from the block that first named it.
    std::vector<Node> result;
    std::unordered_set<std::int64_t> seen{node.uid};
    auto freshChildren = [&](const std::vector<std::int64_t>& childrenUIDs) {
        std::vector<const Node*> fresh;
        for (std::int64_t uid : childrenUIDs) {
            const Node* child = findNode(uid);
            if (child && seen.insert(uid).second) {
                fresh.push_back(child);
                result.push_back(*child);
            }
        }
        return fresh;
    };
    struct Frame {
        std::vector<const Node*> children;
        std::size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back({freshChildren(node.childrenUIDs), 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children.size()) {
            stack.pop_back();
            continue;
        }
        const Node* child = frame.children[frame.next++];
        std::vector<const Node*> fresh = freshChildren(child->childrenUIDs);
        stack.push_back({std::move(fresh), 0});
    }
    return result;
}

std::map<int, std::vector<Node>> Graph::nodesGroupedByDepth(const std::vector<Node>& nodes) const
{
    // The depths of stored nodes are remembered for the call, so a long list over a deep tree stays linear.
    // Walking up from a stored node that is not on a circle of parents counts 1 + its parent's depth; a node on
    // a circle of n nodes gets n - 1, the steps depth() takes before it comes round to the node again.
    std::unordered_map<std::int64_t, int> known;
    auto storedDepth = [&](std::int64_t start) -> int {
        std::vector<std::int64_t> path;
        std::unordered_map<std::int64_t, std::size_t> onPath;
        auto assignBackward = [&](std::size_t end, int valueOfLast) {
            for (std::size_t i = end; i-- > 0;)
                known[path[i]] = valueOfLast++;
        };
        std::optional<std::int64_t> current = start;
        while (true) {
            if (!current) {
                assignBackward(path.size(), 0);
                break;
            }
            if (const auto k = known.find(*current); k != known.end()) {
                assignBackward(path.size(), k->second + 1);
                break;
            }
            const Node* stored = findNode(*current);
            if (!stored) {
                assignBackward(path.size(), 0);
                break;
            }
            if (const auto p = onPath.find(*current); p != onPath.end()) {
                const int round = static_cast<int>(path.size() - p->second) - 1;
                for (std::size_t i = p->second; i < path.size(); ++i)
                    known[path[i]] = round;
                assignBackward(p->second, round + 1);
                break;
            }
            onPath.emplace(*current, path.size());
            path.push_back(*current);
            current = stored->parentUID;
        }
        return known.at(start);
    };

    std::map<int, std::vector<Node>> groups;
    for (const Node& node : nodes) {
        int d = 0;
        if (node.parentUID && findNode(*node.parentUID)) {
            const Node* stored = findNode(node.uid);
            if (!stored)
                d = storedDepth(*node.parentUID) + 1;
            else if (stored->parentUID == node.parentUID)
                d = storedDepth(node.uid);
            else
                d = depth(node);
        }
        groups[d].push_back(node);
    }
    return groups;
}

std::vector<std::string> Graph::dumpLines() const
{
    std::vector<std::string> lines;
    auto lineFor = [this](const Node& node, int depth) {
        std::string line(static_cast<std::size_t>(depth), '\t');
        line += node.title;
        line += " [" + std::to_string(node.uid) + "] (" + formatPoint(node.center) + ")";
        if (node.parentUID) {
            if (const Node* parent = findNode(*node.parentUID))
                line += "\tparent: " + parent->title;
        }
        return line;
    };
    for (const auto& [uid, root] : nodeBin_) {
        if (root.parentUID)
            continue;
        lines.push_back(lineFor(root, 0));
        walkBelow(uid, root.childrenUIDs, [this](std::int64_t child) { return findNode(child); },
                  [&](const Node& found, int depth) { lines.push_back(lineFor(found, depth)); });
    }
    return lines;
}

void Graph::dump() const
{
    for (const std::string& line : dumpLines())
        systemLog(line);
}

// ---- Edits ----

void Graph::setNode(const std::optional<Node>& node, std::int64_t uid)
{
    if (!node) {
        eraseTracked(uid);
        return;
    }
    storeTracked(uid, *node);
}

void Graph::updateNodes(const std::vector<Node>& nodes)
{
    const double now = Clock::now();
    for (const Node& node : nodes) {
        if (!(node.createdTimestamp < 0)) {
            storeTracked(node.uid, node);
            continue;
        }
        Node stamped = node;
        stamped.createdTimestamp = now;
        storeTracked(node.uid, std::move(stamped));
    }
}

std::vector<Node> Graph::storeNodes(const std::vector<Node>& nodes)
{
    for (const Node& node : nodes)
        storeTracked(node.uid, node);
    return nodes;
}

std::vector<Node> Graph::storeNodes(std::vector<Node>&& nodes)
{
    for (const Node& node : nodes)
        storeTracked(node.uid, node);
    return std::move(nodes);
}

void Graph::placeNodes(const std::vector<NodePlacement>& placements)
{
    const double now = Clock::now();
    Extent before;
    nodeBin_.changeEach(
        placements.size(), [&placements](std::size_t i) { return placements[i].uid; },
        [&](const Node& stored, std::size_t i) {
            if (stored.center == placements[i].center && !(stored.createdTimestamp < 0))
                return false;
            before = extentOf(stored);
            return true;
        },
        [&](Node& node, std::size_t i) {
            node.center = placements[i].center;
            if (node.createdTimestamp < 0)
                node.createdTimestamp = now;
            const Extent after = extentOf(node);
            noteFrames(&before, &after);
        });
}

void NodePlaces::add(const Node& node)
{
    uids.push_back(node.uid);
    centers.push_back(node.center);
    sides.push_back(sidesOf(node));
}

void NodePlaces::reserve(std::size_t count)
{
    uids.reserve(count);
    centers.reserve(count);
    sides.reserve(count);
}

void NodePlaces::shrinkToFit()
{
    uids.shrink_to_fit();
    centers.shrink_to_fit();
    sides.shrink_to_fit();
}

std::uint8_t NodePlaces::sidesOf(const Node& node)
{
    return static_cast<std::uint8_t>(static_cast<unsigned>(node.horizontalAffinity)
                                     + 2 * static_cast<unsigned>(node.verticalAffinity));
}

void Graph::restorePlaces(const NodePlaces& places)
{
    Extent before;
    nodeBin_.changeEach(
        places.size(), [&places](std::size_t i) { return places.uids[i]; },
        [&](const Node& stored, std::size_t i) {
            if (stored.center == places.centers[i] && NodePlaces::sidesOf(stored) == places.sides[i])
                return false;
            before = extentOf(stored);
            return true;
        },
        [&](Node& node, std::size_t i) {
            node.center = places.centers[i];
            node.horizontalAffinity = static_cast<HorizontalAffinity>(places.sides[i] & 1);
            node.verticalAffinity = static_cast<VerticalAffinity>(places.sides[i] >> 1);
            const Extent after = extentOf(node);
            noteFrames(&before, &after);
        });
}

void Graph::storeEntry(const NodeBin::Entry& entry)
{
    const Node* stored = extentKnown_ ? nodeBin_.lookup(entry->first) : nullptr;
    const std::optional<Extent> before = stored ? std::optional(extentOf(*stored)) : std::nullopt;
    const Extent after = extentOf(entry->second);
    nodeBin_.assign(entry);
    if (extentKnown_)
        noteFrames(before ? &*before : nullptr, &after);
}

void Graph::storeNode(Node&& node)
{
    const std::int64_t uid = node.uid;
    storeTracked(uid, std::move(node));
}

void Graph::overwriteNodes(const std::vector<Node>& nodes)
{
    for (const Node& node : nodes) {
        const Node* stored = findNode(node.uid);
        if (!stored)
            storeTracked(node.uid, node);
        else if (stored->modifiedTimestamp != node.modifiedTimestamp || stored->differs(node)) {
            const Extent before = extentOf(*stored);
            *nodeBin_.mutableNode(node.uid) = node;
            const Extent after = extentOf(node);
            noteFrames(&before, &after);
        }
    }
}

Node Graph::addChildNode(const Node& parent, std::string title, const NodeStyle& style, Point center, Size size)
{
    Node child(std::move(title), center, size, style);
    child.parentUID = parent.uid;
    storeTracked(child.uid, child);
    Node changedParent = parent;
    changedParent.childrenUIDs.push_back(child.uid);
    storeTracked(changedParent.uid, std::move(changedParent));
    return child;
}

bool Graph::storeAppendedChild(const Node& child)
{
    if (!child.parentUID || !findNode(*child.parentUID))
        return false;
    storeTracked(child.uid, child);
    findMutable(*child.parentUID)->childrenUIDs.push_back(child.uid);
    return true;
}

Node Graph::insertIntermediateNode(const Node& parent, const Node& child, std::string title, const NodeStyle& style,
                                   Point center, Size size)
{
    Node inserted(std::move(title), center, size, style);
    inserted.shape = child.shape;
    Node changedParent = parent;
    std::erase(changedParent.childrenUIDs, child.uid);
    changedParent.childrenUIDs.push_back(inserted.uid);
    inserted.parentUID = changedParent.uid;
    inserted.childrenUIDs = {child.uid};
    Node changedChild = child;
    changedChild.parentUID = inserted.uid;
    storeNodes({inserted, changedParent, changedChild});
    return inserted;
}

void Graph::removeNodes(const std::vector<Node>& nodes)
{
    std::unordered_set<std::int64_t> removed;
    std::vector<std::int64_t> order;
    auto note = [&](std::int64_t uid) {
        if (removed.insert(uid).second)
            order.push_back(uid);
    };
    for (const Node& node : nodes) {
        if (!findNode(node.uid))
            continue;
        note(node.uid);
        walkBelow(node.uid, node.childrenUIDs, [this](std::int64_t uid) { return findNode(uid); },
                  [&](const Node& found, int) { note(found.uid); });
    }
    // Each surviving parent loses, in one pass over its list, the removed nodes that name it as parent.
    std::unordered_map<std::int64_t, std::unordered_set<std::int64_t>> leaving;
    for (std::int64_t uid : order) {
        const Node* node = findNode(uid);
        if (node && node->parentUID && !removed.count(*node->parentUID) && findNode(*node->parentUID))
            leaving[*node->parentUID].insert(uid);
    }
    for (const auto& [parentUID, uids] : leaving) {
        Node* parent = findMutable(parentUID);
        std::erase_if(parent->childrenUIDs, [&uids](std::int64_t uid) { return uids.count(uid) != 0; });
    }
    for (std::int64_t uid : order)
        eraseTracked(uid);
}

void Graph::removeNodeKeepingChildren(const Node& node)
{
    const Node* stored = findNode(node.uid);
    if (!stored)
        return;
    removeKeepingChildren(Node(*stored));
}

void Graph::removeNodesKeepingChildren(const std::vector<Node>& nodes)
{
    for (const Node& node : nodes)
        removeNodeKeepingChildren(node);
}

void Graph::removeKeepingChildren(const Node& removed)
{
    // The children, each once, never the node itself and never its own parent (which cannot become its own
    // child).
    std::vector<std::int64_t> movedUIDs;
    std::unordered_set<std::int64_t> seen{removed.uid};
    if (removed.parentUID)
        seen.insert(*removed.parentUID);
    for (std::int64_t uid : removed.childrenUIDs) {
        if (Node* child = findMutable(uid); child && seen.insert(uid).second) {
            child->parentUID = removed.parentUID;
            movedUIDs.push_back(uid);
        }
    }
    if (removed.parentUID) {
        if (Node* parent = findMutable(*removed.parentUID)) {
            std::vector<std::int64_t>& list = parent->childrenUIDs;
            const auto at = std::find(list.begin(), list.end(), removed.uid);
            list.insert(at, movedUIDs.begin(), movedUIDs.end());
            std::erase(list, removed.uid);
        }
    }
    eraseTracked(removed.uid);
}

} // namespace velquine
