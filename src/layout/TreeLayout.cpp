#include "layout/TreeLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "layout/UidIndex.h"
#include "platform/Clock.h"

namespace velquine {

namespace {

constexpr std::size_t none = UidIndex::none;
// The most nodes room is made for before a walk: a graph of many small trees would otherwise map and unmap
// room for the whole graph once per tree; a larger tree grows its list as it goes.
constexpr std::size_t reservedAtMost = 4096;

// The extent of a set of frames.
struct Box {
    double minX;
    double minY;
    double maxX;
    double maxY;

    static Box of(const Rect& frame) { return {frame.minX(), frame.minY(), frame.maxX(), frame.maxY()}; }

    // The box moved down by dy, as a rectangle with a non-negative width and height.
    Rect rect(double dy) const { return Rect(minX, minY + dy, std::fabs(maxX - minX), std::fabs(maxY - minY)); }

    void include(const Box& other, double dy)
    {
        minX = std::fmin(minX, other.minX);
        maxX = std::fmax(maxX, other.maxX);
        minY = std::fmin(minY, other.minY + dy);
        maxY = std::fmax(maxY, other.maxY + dy);
    }
};

Rect frameOf(Point center, Size size)
{
    return Rect(center.x - size.width * 0.5, center.y - size.height * 0.5, size.width, size.height);
}

} // namespace

// Where a layout reads its nodes: the graph, with a few nodes (when given) standing in for the stored ones.
// Look-ups of nodes numbered close together start where the last one ended.
class TreeLayout::Source {
public:
    explicit Source(const Graph& graph, const TreeLayout::StandIns* standIns = nullptr)
        : graph_(graph), standIns_(standIns && !standIns->empty() ? standIns : nullptr),
          paged_(UidRange::denseOf(graph))
    {
        if (standIns_) {
            for (const auto& [uid, node] : *standIns_) {
                standInsFirst_ = std::min(standInsFirst_, uid);
                standInsLast_ = std::max(standInsLast_, uid);
            }
        }
    }

    const Node* find(std::int64_t uid) const
    {
        if (standIns_ && uid >= standInsFirst_ && uid <= standInsLast_) {
            if (const auto it = standIns_->find(uid); it != standIns_->end())
                return &it->second;
        }
        return graph_.nodeBin().lookup(uid, finger_);
    }
    // The most nodes a tree can have.
    std::size_t sizeHint() const { return graph_.count(); }
    // An empty index, for identifiers of the graph.
    UidIndex index(std::size_t expected) const { return UidIndex(paged_.last >= paged_.first ? 0 : expected, paged_); }

private:
    const Graph& graph_;
    const TreeLayout::StandIns* standIns_;
    std::int64_t standInsFirst_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t standInsLast_ = std::numeric_limits<std::int64_t>::min();
    UidRange paged_;
    mutable SharedNodeBin::Finger finger_;
};

TreeLayout::TreeLayout(Orientation orientation, double horizontalDistanceBetweenNodes,
                       double verticalDistanceBetweenNodes)
    : orientation_(orientation), hd_(horizontalDistanceBetweenNodes), vd_(verticalDistanceBetweenNodes)
{
}

std::vector<Node> TreeLayout::copiedOut(const Placed& placed)
{
    std::vector<Node> nodes;
    nodes.reserve(placed.nodes.size());
    const double now = Clock::now();
    for (std::size_t i = 0; i < placed.nodes.size(); ++i) {
        Node& node = nodes.emplace_back(*placed.nodes[i]);
        node.center = placed.centres[i].center;
        if (node.createdTimestamp < 0 && !(i == 0 && placed.topUnstamped))
            node.createdTimestamp = now;
    }
    return nodes;
}

TreeLayout::Placed TreeLayout::layOutPlaced(const Node& top, const Graph& graph, double sign, bool keepNodes) const
{
    Placed result;
    result.keepNodes = keepNodes;
    if (const Node* stored = graph.findNode(top.uid))
        layOutTree(*stored, Source(graph), sign, nullptr, nullptr, result, true);
    return result;
}

std::vector<Node> TreeLayout::layOut(const Node& top, const Graph& graph, double sign) const
{
    return copiedOut(layOutPlaced(top, graph, sign, true));
}

std::vector<NodePlacement> TreeLayout::placements(const Node& top, const Graph& graph, double sign) const
{
    return layOutPlaced(top, graph, sign, false).centres;
}

namespace {

// What the passes of a layout need of each node, gathered into one compact entry when the node is found, so
// that the passes read contiguous entries and the nodes themselves are touched once. Links between entries are
// their indices.
struct TreeEntry {
    using Link = std::uint32_t;
    static constexpr Link noLink = static_cast<Link>(-1);
    enum Flag : std::uint8_t {
        copied = 1,             // false only for the top node left out
        hasParent = 2,
        parentIsTreeParent = 4, // the parent it names is the node it was found under
        hasChildren = 8,        // a non-empty children list, whether or not its children are found
        liftable = 16,          // underlined with a visible border, below some parent
    };

    double g; // centre along the generation axis
    double s; // centre along the sibling axis
    double genLength;
    double siblingLength;
    std::int64_t uid;
    Link treeParent;
    Link firstChild;
    Link nextSibling;
    std::uint8_t flags;

    bool is(Flag flag) const { return (flags & flag) != 0; }
};

TreeEntry entryFor(const Node& node, bool copied, const TreeEntry* treeParent, std::size_t parentIndex, bool vertical)
{
    using Flag = TreeEntry::Flag;
    const bool liftable =
        node.parentUID && node.shape == NodeShape::underline && node.style.borderWidth != StrokeThickness::invisible;
    const auto flags = static_cast<std::uint8_t>(
        (copied ? Flag::copied : 0) | (node.parentUID ? Flag::hasParent : 0) |
        (treeParent && node.parentUID == treeParent->uid ? Flag::parentIsTreeParent : 0) |
        (node.childrenUIDs.empty() ? 0 : Flag::hasChildren) | (liftable ? Flag::liftable : 0));
    return {vertical ? node.center.y : node.center.x,
            vertical ? node.center.x : node.center.y,
            vertical ? node.size.height : node.size.width,
            vertical ? node.size.width : node.size.height,
            node.uid,
            treeParent ? static_cast<TreeEntry::Link>(parentIndex) : TreeEntry::noLink,
            TreeEntry::noLink,
            TreeEntry::noLink,
            flags};
}

// The entries of a tree and the nodes they were made from, side by side.
struct TreeEntries {
    std::vector<TreeEntry> entries;
    std::vector<const Node*> nodes;
};

// The tree, each identifier once, in pre-order: a parent always comes before its children. The walk enters no
// identifier of skip and adds each one it takes to record (when given). The nodes found must stay where they
// are until the layout is written out.
template <class Source>
void gatherTree(const Node& topValue, const Source& source, const UidIndex* skip, UidIndex* record, bool withTop,
                bool vertical, TreeEntries& tree, UidIndex& indexOf)
{
    std::vector<TreeEntry>& entries = tree.entries;
    entries.push_back(entryFor(topValue, withTop, nullptr, 0, vertical));
    tree.nodes.push_back(&topValue);
    indexOf.insert(topValue.uid, 0);
    if (record)
        record->insert(topValue.uid, 0);
    // A node being walked: its entry, its children list, the next place in it, and its last child found.
    struct Frame {
        TreeEntry::Link node;
        TreeEntry::Link lastChild;
        const std::int64_t* next;
        const std::int64_t* end;
    };
    const auto frameOf = [](TreeEntry::Link index, const Node& node) {
        return Frame{index, TreeEntry::noLink, node.childrenUIDs.data(), node.childrenUIDs.data() + node.childrenUIDs.size()};
    };
    std::vector<Frame> stack{frameOf(0, topValue)};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.end) {
            stack.pop_back();
            continue;
        }
        const std::int64_t uid = *frame.next++;
        if (indexOf.contains(uid) || (skip && skip->contains(uid)))
            continue;
        const Node* child = source.find(uid);
        if (!child)
            continue;
        const auto index = static_cast<TreeEntry::Link>(entries.size());
        entries.push_back(entryFor(*child, true, &entries[frame.node], frame.node, vertical));
        tree.nodes.push_back(child);
        indexOf.insert(uid, index);
        if (record)
            record->insert(uid, 0);
        if (frame.lastChild == TreeEntry::noLink)
            entries[frame.node].firstChild = index;
        else
            entries[frame.lastChild].nextSibling = index;
        frame.lastChild = index;
        stack.push_back(frameOf(index, *child));
    }
}

// Along the sibling axis, from the leaves up: the extent of each subtree, the node's size with its margins or
// its children's extents side by side, whichever is larger.
std::vector<double> subtreeExtents(const std::vector<TreeEntry>& entries, double siblingMargin)
{
    std::vector<double> extent(entries.size());
    for (std::size_t i = entries.size(); i-- > 0;) {
        const double withMargins = entries[i].siblingLength + siblingMargin;
        if (!entries[i].is(TreeEntry::hasChildren)) {
            extent[i] = withMargins;
            continue;
        }
        double sum = 0;
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling)
            sum += extent[c];
        extent[i] = withMargins > sum ? withMargins : sum;
    }
    return extent;
}

// Horizontal trees: sibling subtrees pushed apart, from the bottom up. Each later sibling's subtree moves down,
// by whole points, until it clears its previous sibling's subtree lowered by vd. Moves are kept per subtree and
// applied at the end, so each subtree's extent is worked out once.
void separateSiblingSubtrees(const std::vector<TreeEntry>& entries, std::vector<Point>& center, double vd)
{
    const std::size_t count = entries.size();
    std::vector<Box> box(count);
    std::vector<double> shift(count, 0.0);
    for (std::size_t i = count; i-- > 0;) {
        Box extentBox = Box::of(frameOf(center[i], Size{entries[i].genLength, entries[i].siblingLength}));
        TreeEntry::Link previous = TreeEntry::noLink;
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling) {
            if (previous != TreeEntry::noLink) {
                const Rect later = box[c].rect(shift[c]);
                const Rect earlier = box[previous].rect(shift[previous]).offsetBy(0, vd);
                shift[c] += TreeLayout::separation(later, earlier);
            }
            previous = c;
        }
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling)
            extentBox.include(box[c], shift[c]);
        box[i] = extentBox;
    }
    // Each node moves with the subtrees it stands in: parents come first, so theirs is summed already.
    for (std::size_t i = 1; i < count; ++i) {
        shift[i] = shift[entries[i].treeParent] + shift[i];
        center[i].y += shift[i];
    }
}

} // namespace

void TreeLayout::layOutTree(const Node& topValue, const Source& source, double sign, const UidIndex* skip,
                            UidIndex* record, Placed& out, bool withTop) const
{
    const bool vertical = orientation_ == Orientation::vertical;
    // Gap between a parent's edge and its children's edges, along the generation axis.
    const double gap = vertical ? vd_ : hd_;
    // What the margins add to a size along the sibling axis.
    const double siblingMargin = vertical ? 2 * hd_ : 2 * vd_;

    const std::size_t expected = std::min(source.sizeHint(), reservedAtMost);
    TreeEntries tree;
    tree.entries.reserve(expected);
    tree.nodes.reserve(expected);
    UidIndex indexOf = source.index(expected);
    gatherTree(topValue, source, skip, record, withTop, vertical, tree, indexOf);
    std::vector<TreeEntry>& entries = tree.entries;
    const std::size_t count = entries.size();
    const std::vector<double> extent = subtreeExtents(entries, siblingMargin);

    // From the top down, in one pass: each generation one gap beyond its parent's edge (a node whose parent is
    // not in the tree keeps its place, and so does everything under it); children spread along the sibling
    // axis, centred on their parent; and in horizontal trees, underlined nodes with a visible border standing
    // with their lower edge where their centre was.
    std::vector<char> unplaced(count, 0);
    std::vector<Point> center(count);
    if (topValue.parentUID)
        entries[0].s = 0;
    for (std::size_t i = 0; i < count; ++i) {
        TreeEntry& entry = entries[i];
        if (i > 0) {
            std::size_t p = entry.treeParent;
            if (unplaced[p] || !entry.is(TreeEntry::hasParent))
                p = none;
            else if (!entry.is(TreeEntry::parentIsTreeParent))
                p = indexOf.find(*tree.nodes[i]->parentUID);
            if (p == none)
                unplaced[i] = 1;
            else
                entry.g = entries[p].g + sign * (entries[p].genLength / 2 + gap) + sign * entry.genLength / 2;
        }
        double total = 0;
        for (TreeEntry::Link c = entry.firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling)
            total += extent[c];
        double running = -total / 2;
        for (TreeEntry::Link c = entry.firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling) {
            entries[c].s = entry.s + (running + extent[c] / 2);
            running += extent[c];
        }
        double s = entry.s;
        if (!vertical && entry.is(TreeEntry::liftable))
            s = s - ((entry.siblingLength + siblingMargin) / 2 - vd_);
        center[i] = vertical ? Point{s, entry.g} : Point{entry.g, s};
    }
    if (!vertical)
        separateSiblingSubtrees(entries, center, vd_);

    // The nodes are given out in the order found, with their new centres.
    const std::size_t first = entries[0].is(TreeEntry::copied) ? 0 : 1;
    out.centres.reserve(out.centres.size() + count - first);
    for (std::size_t i = first; i < count; ++i)
        out.centres.push_back({entries[i].uid, center[i]});
    if (out.keepNodes)
        out.nodes.insert(out.nodes.end(), tree.nodes.begin() + static_cast<std::ptrdiff_t>(first), tree.nodes.end());
}

std::vector<Node> TreeLayout::balancedLayout(const Node& top, const Graph& graph,
                                             const SidePredicate& onNegativeSide) const
{
    return copiedOut(balancedLayout(top, Source(graph), onNegativeSide, true));
}

std::vector<NodePlacement> TreeLayout::balancedPlacements(const Node& top, const Graph& graph,
                                                          const SidePredicate& onNegativeSide) const
{
    return balancedLayout(top, Source(graph), onNegativeSide, false).centres;
}

TreeLayout::Placed TreeLayout::balancedLayout(const Node& top, const Source& source,
                                              const SidePredicate& onNegativeSide, bool keepNodes) const
{
    std::vector<std::int64_t> negative;
    std::vector<std::int64_t> positive;
    std::unordered_set<std::int64_t> grouped{top.uid};
    for (std::int64_t uid : top.childrenUIDs) {
        const Node* child = source.find(uid);
        if (!child || !grouped.insert(uid).second)
            continue;
        (onNegativeSide(*child) ? negative : positive).push_back(uid);
    }
    Node negativeTop = top;
    negativeTop.childrenUIDs = negative;
    Node positiveTop = top;
    positiveTop.childrenUIDs = positive;

    // The negative side never enters a child of the positive side, and the positive side nothing the negative
    // side took.
    UidIndex positiveChildren = source.index(positive.size());
    for (std::int64_t uid : positive)
        positiveChildren.insert(uid, 0);
    UidIndex taken = source.index(std::min(source.sizeHint(), reservedAtMost));
    Placed result;
    result.keepNodes = keepNodes;
    result.topUnstamped = true;
    result.centres.reserve(1 + std::min(source.sizeHint(), reservedAtMost));
    result.centres.push_back({top.uid, top.center});
    if (keepNodes)
        result.nodes.push_back(&top);
    layOutTree(negativeTop, source, -1.0, &positiveChildren, &taken, result, false);
    layOutTree(positiveTop, source, 1.0, &taken, nullptr, result, false);
    return result;
}

TreeLayout::Placed TreeLayout::balanced(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                                        const SideSetter& setSide, bool keepNodes, StandIns& changed) const
{
    std::vector<Node> children;
    std::unordered_set<std::int64_t> seen{node.uid};
    for (std::int64_t uid : node.childrenUIDs) {
        const Node* child = graph.findNode(uid);
        if (child && seen.insert(uid).second)
            children.push_back(*child);
    }
    std::stable_partition(children.begin(), children.end(), onNegativeSide);
    const std::size_t firstHalf = (children.size() + 1) / 2;
    for (std::size_t i = 0; i < children.size(); ++i) {
        setSide(children[i], i < firstHalf);
        changed.emplace(children[i].uid, std::move(children[i]));
    }
    return balancedLayout(node, Source(graph, &changed), onNegativeSide, keepNodes);
}

std::vector<Node> TreeLayout::balance(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                                      const SideSetter& setSide) const
{
    StandIns changed;
    return copiedOut(balanced(node, graph, onNegativeSide, setSide, true, changed));
}

BalancePlacement TreeLayout::balancePlacements(const Node& node, const Graph& graph,
                                               const SidePredicate& onNegativeSide, const SideSetter& setSide) const
{
    StandIns changed;
    BalancePlacement result;
    result.placements = balanced(node, graph, onNegativeSide, setSide, false, changed).centres;
    const double now = Clock::now();
    for (std::size_t i = 1; i < result.placements.size() && result.children.size() < changed.size(); ++i) {
        const auto it = changed.find(result.placements[i].uid);
        if (it == changed.end())
            continue;
        Node& child = result.children.emplace_back(std::move(it->second));
        child.center = result.placements[i].center;
        if (child.createdTimestamp < 0)
            child.createdTimestamp = now;
    }
    return result;
}

std::vector<NodePlacement> TreeLayout::standingPlacements(const Node& top, const Graph& graph)
{
    const Node* stored = graph.findNode(top.uid);
    if (!stored)
        return {};
    std::vector<NodePlacement> result{{stored->uid, stored->center}};
    // Pre-order, each identifier once, as Graph::subtree walks: from the children of the node passed in.
    const Source source(graph);
    UidIndex visited = source.index(std::min(graph.count(), reservedAtMost));
    visited.insert(top.uid, 0);
    std::vector<std::pair<const std::int64_t*, const std::int64_t*>> stack{
        {top.childrenUIDs.data(), top.childrenUIDs.data() + top.childrenUIDs.size()}};
    while (!stack.empty()) {
        auto& [next, end] = stack.back();
        if (next == end) {
            stack.pop_back();
            continue;
        }
        const std::int64_t uid = *next++;
        const Node* child = source.find(uid);
        if (!child || !visited.insert(uid, 0))
            continue;
        result.push_back({uid, child->center});
        stack.emplace_back(child->childrenUIDs.data(), child->childrenUIDs.data() + child->childrenUIDs.size());
    }
    return result;
}

double TreeLayout::separation(const Rect& a, const Rect& b)
{
    const auto overlaps = [&a, &b](double d) { return a.offsetBy(0, d).intersectsOpen(b); };
    if (!overlaps(0))
        return 0;
    // Overlap only ever ends as the distance grows, so the first clear distance is found by doubling and then
    // halving, with the same comparisons a one-point-at-a-time walk would make.
    constexpr double limit = 9007199254740992.0; // 2^53: whole numbers stay exact below it
    double low = 0;
    double high = 1;
    while (overlaps(high)) {
        low = high;
        high *= 2;
        if (high > limit)
            return 0;
    }
    while (high - low > 1) {
        const double middle = low + std::floor((high - low) / 2);
        if (overlaps(middle))
            low = middle;
        else
            high = middle;
    }
    return high;
}

} // namespace velquine
