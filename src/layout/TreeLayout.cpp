#include "layout/TreeLayout.h"

#include <algorithm>
#include <cmath>
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
    Source(const Graph& graph, const std::unordered_map<std::int64_t, Node>* standIns = nullptr)
        : graph_(graph), standIns_(standIns), paged_(UidRange::denseOf(graph))
    {
    }

    const Node* find(std::int64_t uid) const
    {
        if (standIns_) {
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
    const std::unordered_map<std::int64_t, Node>* standIns_;
    UidRange paged_;
    mutable SharedNodeBin::Finger finger_;
};

TreeLayout::TreeLayout(Orientation orientation, double horizontalDistanceBetweenNodes,
                       double verticalDistanceBetweenNodes)
    : orientation_(orientation), hd_(horizontalDistanceBetweenNodes), vd_(verticalDistanceBetweenNodes)
{
}

std::vector<Node> TreeLayout::copiedOut(const std::vector<Placed>& placed)
{
    std::vector<Node> nodes;
    nodes.reserve(placed.size());
    const double now = Clock::now();
    for (const Placed& each : placed) {
        Node& node = nodes.emplace_back(*each.node);
        node.center = each.center;
        if (each.stamped && node.createdTimestamp < 0)
            node.createdTimestamp = now;
    }
    return nodes;
}

std::vector<NodePlacement> TreeLayout::centresOf(const std::vector<Placed>& placed)
{
    std::vector<NodePlacement> centres;
    centres.reserve(placed.size());
    for (const Placed& each : placed)
        centres.push_back({each.node->uid, each.center});
    return centres;
}

std::vector<TreeLayout::Placed> TreeLayout::layOutPlaced(const Node& top, const Graph& graph, double sign) const
{
    const Node* stored = graph.findNode(top.uid);
    if (!stored)
        return {};
    std::vector<Placed> result;
    layOutTree(*stored, Source(graph), sign, nullptr, nullptr, result, true);
    return result;
}

std::vector<Node> TreeLayout::layOut(const Node& top, const Graph& graph, double sign) const
{
    return copiedOut(layOutPlaced(top, graph, sign));
}

std::vector<NodePlacement> TreeLayout::placements(const Node& top, const Graph& graph, double sign) const
{
    return centresOf(layOutPlaced(top, graph, sign));
}

namespace {

// What the passes of a layout need of each node, gathered into one compact entry when the node is found, so
// that the passes read contiguous entries and the nodes themselves are only touched when found and when copied.
// An entry takes one cache line; links between entries are their indices.
struct TreeEntry {
    using Link = std::uint32_t;
    static constexpr Link noLink = static_cast<Link>(-1);

    const Node* node; // the stored node (or the value standing in for the top node)
    double g;         // centre along the generation axis
    double s;         // centre along the sibling axis
    double genLength;
    double siblingLength;
    Link treeParent;
    Link firstChild;
    Link lastChild;
    Link nextSibling;
    bool copied;      // false only for the top node left out
    bool hasParent;
    bool parentIsTreeParent; // the parent it names is the node it was found under
    bool hasChildren; // a non-empty children list, whether or not its children are found
    bool liftable;    // underlined with a visible border, below some parent
};

TreeEntry entryFor(const Node& node, bool copied, const TreeEntry* treeParent, std::size_t parentIndex, bool vertical)
{
    constexpr TreeEntry::Link noLink = TreeEntry::noLink;
    return {&node,
            vertical ? node.center.y : node.center.x,
            vertical ? node.center.x : node.center.y,
            vertical ? node.size.height : node.size.width,
            vertical ? node.size.width : node.size.height,
            treeParent ? static_cast<TreeEntry::Link>(parentIndex) : noLink,
            noLink,
            noLink,
            noLink,
            copied,
            node.parentUID.has_value(),
            treeParent && node.parentUID == treeParent->node->uid,
            !node.childrenUIDs.empty(),
            node.parentUID && node.shape == NodeShape::underline && node.style.borderWidth != StrokeThickness::invisible};
}

// The tree, each identifier once, in pre-order: a parent always comes before its children. The walk enters no
// identifier of skip and adds each one it takes to record (when given). The nodes found must stay where they
// are until the layout is written out.
template <class Source>
void gatherTree(const Node& topValue, const Source& source, const UidIndex* skip, UidIndex* record, bool withTop,
                bool vertical, std::vector<TreeEntry>& entries, UidIndex& indexOf)
{
    entries.push_back(entryFor(topValue, withTop, nullptr, 0, vertical));
    indexOf.insert(topValue.uid, 0);
    if (record)
        record->insert(topValue.uid, 0);
    struct Frame {
        std::size_t node;
        std::size_t next;
    };
    std::vector<Frame> stack{{0, 0}};
    while (!stack.empty()) {
        const std::size_t at = stack.back().node;
        const std::size_t position = stack.back().next++;
        const std::vector<std::int64_t>& list = entries[at].node->childrenUIDs;
        if (position >= list.size()) {
            stack.pop_back();
            continue;
        }
        const std::int64_t uid = list[position];
        if (indexOf.contains(uid) || (skip && skip->contains(uid)))
            continue;
        const Node* child = source.find(uid);
        if (!child)
            continue;
        const auto index = static_cast<TreeEntry::Link>(entries.size());
        entries.push_back(entryFor(*child, true, &entries[at], at, vertical));
        indexOf.insert(uid, index);
        if (record)
            record->insert(uid, 0);
        if (entries[at].lastChild == TreeEntry::noLink)
            entries[at].firstChild = index;
        else
            entries[entries[at].lastChild].nextSibling = index;
        entries[at].lastChild = index;
        stack.push_back({index, 0});
    }
}

// Generations on the real sizes: each node one gap beyond its parent's edge. A node whose parent is not in the
// tree keeps its place, and so does everything under it.
void placeGenerations(std::vector<TreeEntry>& entries, const UidIndex& indexOf, double sign, double gap)
{
    std::vector<char> unplaced(entries.size(), 0);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        TreeEntry& entry = entries[i];
        std::size_t p = entry.treeParent;
        if (unplaced[p] || !entry.hasParent) {
            unplaced[i] = 1;
            continue;
        }
        if (!entry.parentIsTreeParent) {
            p = indexOf.find(*entry.node->parentUID);
            if (p == none) {
                unplaced[i] = 1;
                continue;
            }
        }
        entry.g = entries[p].g + sign * (entries[p].genLength / 2 + gap) + sign * entry.genLength / 2;
    }
}

// Along the sibling axis: sizes with margins, subtree extents, and offsets from the parent. Returns the sizes
// with margins.
std::vector<double> placeSiblings(std::vector<TreeEntry>& entries, double siblingMargin, bool topHasParent)
{
    const std::size_t count = entries.size();
    std::vector<double> withMargins(count), extent(count);
    for (std::size_t i = 0; i < count; ++i)
        withMargins[i] = entries[i].siblingLength + siblingMargin;
    for (std::size_t i = count; i-- > 0;) {
        if (!entries[i].hasChildren) {
            extent[i] = withMargins[i];
            continue;
        }
        double sum = 0;
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling)
            sum += extent[c];
        extent[i] = withMargins[i] > sum ? withMargins[i] : sum;
    }
    if (topHasParent)
        entries[0].s = 0;
    for (std::size_t i = 0; i < count; ++i) {
        double total = 0;
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling)
            total += extent[c];
        double running = -total / 2;
        for (TreeEntry::Link c = entries[i].firstChild; c != TreeEntry::noLink; c = entries[c].nextSibling) {
            entries[c].s = entries[i].s + (running + extent[c] / 2);
            running += extent[c];
        }
    }
    return withMargins;
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
    std::vector<double> moved(count, 0.0);
    for (std::size_t i = 1; i < count; ++i) {
        moved[i] = moved[entries[i].treeParent] + shift[i];
        center[i].y += moved[i];
    }
}

} // namespace

void TreeLayout::layOutTree(const Node& topValue, const Source& source, double sign, const UidIndex* skip,
                            UidIndex* record, std::vector<Placed>& out, bool withTop) const
{
    const bool vertical = orientation_ == Orientation::vertical;
    // Gap between a parent's edge and its children's edges, along the generation axis.
    const double gap = vertical ? vd_ : hd_;
    // What the margins add to a size along the sibling axis.
    const double siblingMargin = vertical ? 2 * hd_ : 2 * vd_;

    const std::size_t expected = std::min(source.sizeHint(), reservedAtMost);
    std::vector<TreeEntry> entries;
    entries.reserve(expected);
    UidIndex indexOf = source.index(expected);
    gatherTree(topValue, source, skip, record, withTop, vertical, entries, indexOf);
    const std::size_t count = entries.size();

    placeGenerations(entries, indexOf, sign, gap);
    const std::vector<double> withMargins = placeSiblings(entries, siblingMargin, topValue.parentUID.has_value());
    if (!vertical) {
        // Underlined nodes with a visible border stand with their lower edge where their centre was.
        for (std::size_t i = 0; i < count; ++i) {
            if (entries[i].liftable)
                entries[i].s = entries[i].s - (withMargins[i] / 2 - vd_);
        }
    }
    std::vector<Point> center(count);
    for (std::size_t i = 0; i < count; ++i)
        center[i] = vertical ? Point{entries[i].s, entries[i].g} : Point{entries[i].g, entries[i].s};
    if (!vertical)
        separateSiblingSubtrees(entries, center, vd_);

    // The nodes are given out in the order found, with their new centres. Like any graph update, a negative
    // creation time becomes the current one when they are copied out.
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i)
        if (entries[i].copied)
            out.push_back({entries[i].node, center[i], true});
}

std::vector<Node> TreeLayout::balancedLayout(const Node& top, const Graph& graph,
                                             const SidePredicate& onNegativeSide) const
{
    return copiedOut(balancedLayout(top, Source(graph), onNegativeSide));
}

std::vector<NodePlacement> TreeLayout::balancedPlacements(const Node& top, const Graph& graph,
                                                          const SidePredicate& onNegativeSide) const
{
    return centresOf(balancedLayout(top, Source(graph), onNegativeSide));
}

std::vector<TreeLayout::Placed> TreeLayout::balancedLayout(const Node& top, const Source& source,
                                                           const SidePredicate& onNegativeSide) const
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
    std::vector<Placed> result{{&top, top.center, false}};
    result.reserve(1 + std::min(source.sizeHint(), reservedAtMost));
    layOutTree(negativeTop, source, -1.0, &positiveChildren, &taken, result, false);
    layOutTree(positiveTop, source, 1.0, &taken, nullptr, result, false);
    return result;
}

std::vector<Node> TreeLayout::balance(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                                      const SideSetter& setSide) const
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
    std::unordered_map<std::int64_t, Node> changed;
    for (std::size_t i = 0; i < children.size(); ++i) {
        setSide(children[i], i < firstHalf);
        changed.emplace(children[i].uid, std::move(children[i]));
    }
    return copiedOut(balancedLayout(node, Source(graph, &changed), onNegativeSide));
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
