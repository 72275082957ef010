#include "layout/TreeLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "model/graph/DenseUIDRange.h"
#include "platform/Clock.h"

namespace velquine {

namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);
// The most nodes room is made for before a walk: a graph of many small trees would otherwise make room for the
// whole graph once per tree; a larger tree grows its list as it goes.
constexpr std::size_t reservedAtMost = 4096;

// The lesser and the greater of two values, the other one when one is not a number (as fmin and fmax).
double lesser(double a, double b) { return b < a || std::isnan(a) ? b : a; }
double greater(double a, double b) { return a < b || std::isnan(a) ? b : a; }

// A frame's sides along one axis as Rect gives them: a negative length counts back from the origin, unless the
// frame is null (an infinite origin).
void sidesOf(double origin, double length, bool null, double& low, double& high)
{
    if (!null && length < 0) {
        origin += length;
        length = -length;
    }
    low = origin;
    high = origin + length;
}

// The extent of a set of frames.
struct Box {
    double minX;
    double minY;
    double maxX;
    double maxY;

    // The frame of the size centred on the point.
    static Box ofFrame(Point center, Size size)
    {
        const double x = center.x - size.width * 0.5;
        const double y = center.y - size.height * 0.5;
        const bool null = std::isinf(x) || std::isinf(y);
        Box box;
        sidesOf(x, size.width, null, box.minX, box.maxX);
        sidesOf(y, size.height, null, box.minY, box.maxY);
        return box;
    }

    // The box moved down by dy, as a rectangle with a non-negative width and height.
    Rect rect(double dy) const { return Rect(minX, minY + dy, std::fabs(maxX - minX), std::fabs(maxY - minY)); }

    void include(const Box& other, double dy)
    {
        minX = lesser(minX, other.minX);
        maxX = greater(maxX, other.maxX);
        minY = lesser(minY, other.minY + dy);
        maxY = greater(maxY, other.maxY + dy);
    }
};

} // namespace

// Where a layout reads its nodes: the graph, walked as a tree is (Graph::Walk), with a few nodes (when given)
// standing in for the stored ones.
class TreeLayout::Source {
public:
    explicit Source(const Graph& graph, const TreeLayout::StandIns* standIns = nullptr)
        : graph_(graph), standIns_(standIns && !standIns->empty() ? standIns : nullptr),
          paged_(denseUIDRange(graph)), walk_(graph.walk())
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
        return walk_.find(uid);
    }
    // The most nodes a tree can have.
    std::size_t sizeHint() const { return graph_.count(); }
    // An empty index, for identifiers of the graph.
    UidIndex index(std::size_t expected) const { return UidIndex(paged_, paged_.empty() ? expected : 0); }

private:
    const Graph& graph_;
    const TreeLayout::StandIns* standIns_;
    std::int64_t standInsFirst_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t standInsLast_ = std::numeric_limits<std::int64_t>::min();
    UidRange paged_;
    mutable Graph::Walk walk_;
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
// that the passes read contiguous entries and the nodes themselves are touched once. Entries stand in pre-order:
// a node's first child follows it, and its later children each follow the subtree of the one before. Links
// between entries are their indices.
struct TreeEntry {
    using Link = std::uint32_t;
    static constexpr Link noLink = static_cast<Link>(-1);
    enum Flag : std::uint8_t {
        copied = 1,             // false only for the top node left out
        hasParent = 2,
        parentIsTreeParent = 4, // the parent it names is the node it was found under
        hasChildren = 8,        // a non-empty children list, whether or not its children are found
        liftable = 16,          // underlined with a visible border, below some parent
        unplaced = 32,          // keeps its place along the generation axis, as does everything under it
    };

    double g; // centre along the generation axis
    double s; // centre along the sibling axis
    double genLength;
    double siblingLength;
    std::int64_t uid;
    Link treeParent;
    std::uint8_t flags;

    bool is(Flag flag) const { return (flags & flag) != 0; }
};

// Appends the entry of a node found under the entry at treeParent (noLink for the top node). The entry is
// written where it stays, field by field: a whole entry put together first and then copied would be read back
// before its last fields were written.
void appendEntry(std::vector<TreeEntry>& entries, const Node& node, bool copied, TreeEntry::Link treeParent,
                 bool vertical)
{
    using Flag = TreeEntry::Flag;
    const bool liftable =
        node.parentUID && node.shape == NodeShape::underline && node.style.borderWidth != StrokeThickness::invisible;
    const bool parentIsTreeParent = treeParent != TreeEntry::noLink && node.parentUID == entries[treeParent].uid;
    TreeEntry& entry = entries.emplace_back();
    entry.g = vertical ? node.center.y : node.center.x;
    entry.s = vertical ? node.center.x : node.center.y;
    entry.genLength = vertical ? node.size.height : node.size.width;
    entry.siblingLength = vertical ? node.size.width : node.size.height;
    entry.uid = node.uid;
    entry.treeParent = treeParent;
    entry.flags = static_cast<std::uint8_t>(
        (copied ? Flag::copied : 0) | (node.parentUID ? Flag::hasParent : 0) |
        (parentIsTreeParent ? Flag::parentIsTreeParent : 0) | (node.childrenUIDs.empty() ? 0 : Flag::hasChildren) |
        (liftable ? Flag::liftable : 0));
}

// A node being walked while a tree is gathered: its entry, the rest of its children list, its length along the
// sibling axis with margins, and where its finished children start on the list of finished subtrees.
struct WalkFrame {
    TreeEntry::Link node;
    std::uint32_t firstFinished;
    const std::int64_t* next;
    const std::int64_t* end;
    double withMargins;

    static WalkFrame of(TreeEntry::Link index, const Node& node, double withMargins, std::size_t finished)
    {
        const std::int64_t* children = node.childrenUIDs.data();
        return {index, static_cast<std::uint32_t>(finished), children, children + node.childrenUIDs.size(),
                withMargins};
    }
};

// A subtree the walk has left, waiting for its parent to be left: its top entry and its extent along the
// sibling axis.
struct FinishedSubtree {
    TreeEntry::Link node;
    double extent;
};

// A subtree whose siblings are being pushed apart: its top entry and that entry's parent in the tree, its
// extent, and how far it moves down.
struct SeparatedSubtree {
    Box box;
    double shift;
    TreeEntry::Link node;
    TreeEntry::Link treeParent;
};

// The working lists of a layout. Each thread keeps its own from one layout to the next, so that laying out a
// large tree again makes and grows no list; a layout reads nothing a previous one left.
// What it buys, measured (bench_GraphLayouters, best of 5): 1.2-1.8x at 10,000 nodes, 1.1-1.2x at 100,000.
struct Workspace {
    std::vector<TreeEntry> entries;
    std::vector<const Node*> nodes; // the node each entry was made from
    std::vector<WalkFrame> stack;
    std::vector<FinishedSubtree> finished;
    std::vector<Point> center;
    std::vector<SeparatedSubtree> separated;
    std::vector<double> shift;

    static Workspace& ofThisThread()
    {
        thread_local Workspace workspace;
        workspace.entries.clear();
        workspace.nodes.clear();
        workspace.stack.clear();
        workspace.finished.clear();
        return workspace;
    }
};

// Leaves a node once its children are all walked. Its subtree's extent along the sibling axis is its length with
// margins or its children's extents side by side, whichever is larger; its children, centred on it side by side,
// are given their offsets from its centre (in their entries' sibling-axis centres), and it waits for its parent.
void finishSubtree(const WalkFrame& frame, std::vector<TreeEntry>& entries, std::vector<FinishedSubtree>& finished)
{
    double extent = frame.withMargins;
    if (entries[frame.node].is(TreeEntry::hasChildren)) {
        const auto first = finished.begin() + frame.firstFinished;
        double sum = 0;
        for (auto it = first; it != finished.end(); ++it)
            sum += it->extent;
        extent = extent > sum ? extent : sum;
        double running = -sum / 2;
        for (auto it = first; it != finished.end(); ++it) {
            entries[it->node].s = running + it->extent / 2;
            running += it->extent;
        }
        finished.erase(first, finished.end());
    }
    finished.push_back({frame.node, extent});
}

// The tree, each identifier once, in pre-order: a parent always comes before its children. The walk enters no
// identifier of skip and adds each one it takes to record (when given). Each subtree is finished as the walk
// leaves it (see finishSubtree). The nodes found must stay where they are until the layout is written out.
template <class Source>
void gatherTree(const Node& topValue, const Source& source, const UidIndex* skip, UidIndex* record, bool withTop,
                bool vertical, double siblingMargin, Workspace& work, UidIndex& indexOf)
{
    std::vector<TreeEntry>& entries = work.entries;
    std::vector<FinishedSubtree>& finished = work.finished;
    appendEntry(entries, topValue, withTop, TreeEntry::noLink, vertical);
    work.nodes.push_back(&topValue);
    indexOf.insert(topValue.uid, 0);
    if (record)
        record->insert(topValue.uid, 0);
    std::vector<WalkFrame>& stack = work.stack;
    stack.push_back(WalkFrame::of(0, topValue, entries[0].siblingLength + siblingMargin, 0));
    while (!stack.empty()) {
        WalkFrame& frame = stack.back();
        if (frame.next == frame.end) {
            finishSubtree(frame, entries, finished);
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
        appendEntry(entries, *child, true, frame.node, vertical);
        work.nodes.push_back(child);
        indexOf.insert(uid, index);
        if (record)
            record->insert(uid, 0);
        const double withMargins = entries[index].siblingLength + siblingMargin;
        if (child->childrenUIDs.empty())
            finished.push_back({index, withMargins}); // a leaf is finished as soon as it is found
        else
            stack.push_back(WalkFrame::of(index, *child, withMargins, finished.size()));
    }
}

// Horizontal trees: sibling subtrees pushed apart, from the bottom up. Each later sibling's subtree moves down,
// by whole points, until it clears its previous sibling's subtree lowered by vd. Moves are kept per subtree and
// applied at the end, so each subtree's extent is worked out once. Going back through the entries, the
// subtrees below a node are finished before it, its children's last: they are the ones on top of the list of
// separated subtrees that name it as their parent, its first child topmost. Then each node moves with the
// subtrees it stands in, and the nodes from first on are given out with their new centres.
void separateSiblingSubtrees(Workspace& work, double vd, std::size_t first, std::vector<NodePlacement>& out)
{
    const std::vector<TreeEntry>& entries = work.entries;
    std::vector<Point>& center = work.center;
    const std::size_t count = entries.size();
    std::vector<SeparatedSubtree>& separated = work.separated;
    separated.clear();
    std::vector<double>& shift = work.shift;
    shift.resize(count);
    shift[0] = 0;
    for (std::size_t i = count; i-- > 0;) {
        Box extentBox = Box::ofFrame(center[i], Size{entries[i].genLength, entries[i].siblingLength});
        auto children = separated.end();
        while (children != separated.begin() && (children - 1)->treeParent == i)
            --children;
        // First child to last: each one's move is settled against the one before it, then counted in.
        for (auto c = separated.end(); c != children;) {
            --c;
            if (c + 1 != separated.end()) {
                const SeparatedSubtree& previous = *(c + 1);
                const Rect later = c->box.rect(c->shift);
                const Rect earlier = previous.box.rect(previous.shift).offsetBy(0, vd);
                c->shift += TreeLayout::separation(later, earlier);
            }
            extentBox.include(c->box, c->shift);
            shift[c->node] = c->shift;
        }
        separated.erase(children, separated.end());
        separated.push_back({extentBox, 0.0, static_cast<TreeEntry::Link>(i), entries[i].treeParent});
    }
    // Each node moves with the subtrees it stands in: parents come first, so theirs is summed already.
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            shift[i] = shift[entries[i].treeParent] + shift[i];
            center[i].y += shift[i];
        }
        if (i >= first)
            out.push_back({entries[i].uid, center[i]});
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

    Workspace& work = Workspace::ofThisThread();
    UidIndex indexOf = source.index(std::min(source.sizeHint(), reservedAtMost));
    gatherTree(topValue, source, skip, record, withTop, vertical, siblingMargin, work, indexOf);
    std::vector<TreeEntry>& entries = work.entries;
    const std::size_t count = entries.size();

    // From the top down, in one pass: each generation one gap beyond its parent's edge (a node whose parent is
    // not in the tree keeps its place, and so does everything under it); children spread along the sibling
    // axis, centred on their parent at the offsets the walk gave them; and in horizontal trees, underlined
    // nodes with a visible border standing with their lower edge where their centre was. Vertical trees are
    // then done, and their nodes are given out in the order found, with their new centres.
    const std::size_t first = entries[0].is(TreeEntry::copied) ? 0 : 1;
    out.centres.reserve(out.centres.size() + count - first);
    std::vector<Point>& center = work.center;
    if (!vertical)
        center.resize(count);
    if (topValue.parentUID)
        entries[0].s = 0;
    for (std::size_t i = 0; i < count; ++i) {
        TreeEntry& entry = entries[i];
        if (i > 0) {
            std::size_t p = entry.treeParent;
            entry.s = entries[p].s + entry.s;
            if (entries[p].is(TreeEntry::unplaced) || !entry.is(TreeEntry::hasParent)) {
                p = none;
            } else if (!entry.is(TreeEntry::parentIsTreeParent)) {
                const EntryIndex* parent = indexOf.find(*work.nodes[i]->parentUID);
                p = parent ? parent->at() : none;
            }
            if (p == none)
                entry.flags |= TreeEntry::unplaced;
            else
                entry.g = entries[p].g + sign * (entries[p].genLength / 2 + gap) + sign * entry.genLength / 2;
        }
        if (vertical) {
            if (i >= first)
                out.centres.push_back({entry.uid, Point{entry.s, entry.g}});
            continue;
        }
        double s = entry.s;
        if (entry.is(TreeEntry::liftable))
            s = s - ((entry.siblingLength + siblingMargin) / 2 - vd_);
        center[i] = Point{entry.g, s};
    }
    if (!vertical)
        separateSiblingSubtrees(work, vd_, first, out.centres);
    if (out.keepNodes)
        out.nodes.insert(out.nodes.end(), work.nodes.begin() + static_cast<std::ptrdiff_t>(first), work.nodes.end());
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

namespace {

// The smallest whole number d >= 0 for which overlaps(d) is false; 0 when there is none up to 2^53.
template <class Overlaps>
double firstClearDistance(const Overlaps& overlaps)
{
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

} // namespace

double TreeLayout::separation(const Rect& a, const Rect& b)
{
    // Rectangles without negative sides, as a layout compares them, take the general rules' comparisons
    // directly: moving a finite rectangle by a finite distance leaves it finite, and its emptiness unchanged.
    const auto plain = [](const Rect& r) { return r.size.width >= 0 && r.size.height >= 0 && !r.isNull(); };
    if (plain(a) && plain(b)) {
        if (a.size.width == 0 || a.size.height == 0 || b.size.width == 0 || b.size.height == 0)
            return 0;
        const double ax = a.origin.x, ay = a.origin.y, aw = a.size.width, ah = a.size.height;
        const double bx = b.origin.x, by = b.origin.y, bw = b.size.width, bh = b.size.height;
        if (!(ax < bx + bw && bx < ax + aw))
            return 0;
        return firstClearDistance([=](double d) { return ay + d < by + bh && by < (ay + d) + ah; });
    }
    return firstClearDistance([&a, &b](double d) { return a.offsetBy(0, d).intersectsOpen(b); });
}

} // namespace velquine
