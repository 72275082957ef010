// The insertion of detached node trees that pasted and imported outlines go through.

#include "document/DocumentInsertion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "layout/NodeSizing.h"
#include "platform/Image.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/TextsMeasuredAhead.h"

namespace velquine {

namespace {


// Identifiers of detached source nodes and where in the input list they stand.
class SourceIndex {
public:
    explicit SourceIndex(const std::vector<Node>& nodes) : count_(nodes.size())
    {
        // The importers number their nodes consecutively in list order: a node's place is then its identifier
        // less the first one's, and no table is needed.
        consecutive_ = std::adjacent_find(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
                           return a.uid == INT64_MAX || b.uid != a.uid + 1;
                       }) == nodes.end();
        if (consecutive_) {
            firstUID_ = nodes.empty() ? 0 : nodes.front().uid;
            return;
        }
        first_.reserve(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const auto [first, added] = first_.emplace(nodes[i].uid, i);
            if (!added)
                repeats_[nodes[i].uid].push_back(i);
        }
    }
    // The positions of the list's nodes whose identifier occurs in uids, in list order.
    std::vector<std::size_t> positionsOf(const std::vector<std::int64_t>& uids) const
    {
        std::vector<std::size_t> result;
        result.reserve(uids.size());
        for (std::int64_t uid : uids) {
            if (const std::optional<std::size_t> first = firstPositionOf(uid)) {
                result.push_back(*first);
                if (const auto more = repeats_.find(uid); more != repeats_.end())
                    result.insert(result.end(), more->second.begin(), more->second.end());
            }
        }
        // Children are nearly always listed in the order they stand in the list, each once.
        if (std::adjacent_find(result.begin(), result.end(), std::greater_equal<>()) != result.end()) {
            std::sort(result.begin(), result.end());
            result.erase(std::unique(result.begin(), result.end()), result.end());
        }
        return result;
    }

    // The first position of the identifier in the list.
    std::optional<std::size_t> firstPositionOf(std::int64_t uid) const
    {
        if (consecutive_) {
            const std::uint64_t offset = std::uint64_t(uid) - std::uint64_t(firstUID_);
            return uid >= firstUID_ && offset < count_ ? std::optional<std::size_t>(offset) : std::nullopt;
        }
        const std::size_t* first = first_.find(uid);
        return first ? std::optional<std::size_t>(*first) : std::nullopt;
    }

    // The first position of the identifier of the node at the position.
    std::size_t firstPositionAt(const std::vector<Node>& nodes, std::size_t position) const
    {
        return repeats_.empty() ? position : *first_.find(nodes[position].uid);
    }

private:
    std::size_t count_;
    bool consecutive_ = false;
    std::int64_t firstUID_ = 0;
    FlatHashMap<std::int64_t, std::size_t> first_;
    // The later positions of identifiers the list holds more than once.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> repeats_;
};

// Starts laying out, on worker threads, the titles of many nodes about to be inserted, each in the font of
// the level it will most likely take, so that sizing them mostly finds them measured. Null for too few.
std::unique_ptr<TextsMeasuredAhead> measureTitlesAhead(const VQProject& project, const std::vector<Node>& nodes,
                                                       const SourceIndex& index)
{
    if (TextsMeasuredAhead::workersFor(nodes.size()) == 0)
        return nullptr;
    const ProjectStyle::Values& values = project.projectStyle.current;
    auto ahead = std::make_unique<TextsMeasuredAhead>(autosizeMaxTextWidth);
    for (const Node& node : nodes) {
        NodeType type = NodeType::root;
        if (node.parentUID) {
            const std::optional<std::size_t> parent = index.firstPositionOf(*node.parentUID);
            type = parent && !nodes[*parent].parentUID ? NodeType::main : NodeType::sub;
        }
        ahead->add(autosizeMeasuredText(node.title), VQProject::levelStyle(values, type).font);
    }
    ahead->start();
    return ahead;
}

// Creates the tree of one source node: the node itself (a root without parentUID, else a child of that
// parent when it is stored), then its children from the list, depth first in list order, each under the
// new node (as roots when the node could not be made). A source identifier already inserted (marked at its
// first position in inserted) is not inserted again, so a list in which a node names itself or an ancestor as a child ends. Walks with its
// own stack, so no depth of tree can exhaust the call stack. The nodes are made with the insertion's state when
// one is under way. Returns the identifier of the new node for the source.
std::optional<std::int64_t> insertTree(VQDocument& document, std::size_t sourcePosition,
                                       std::optional<std::int64_t> parentUID, const std::vector<Node>& from,
                                       const SourceIndex& index, std::vector<bool>& inserted,
                                       NodeTreeInsertion* insertion)
{
    struct Pending {
        std::size_t position;
        std::optional<std::int64_t> parentUID;
    };
    std::vector<Pending> stack{{sourcePosition, parentUID}};
    std::optional<std::int64_t> top;
    bool first = true;
    while (!stack.empty()) {
        const Pending pending = stack.back();
        stack.pop_back();
        const Node& source = from[pending.position];
        const bool isTop = first;
        first = false;
        const std::size_t firstAt = index.firstPositionAt(from, pending.position);
        if (inserted[firstAt])
            continue;
        inserted[firstAt] = true;

        std::optional<Node> made;
        if (!pending.parentUID) {
            made = document.createRootNode(source.title, Point{0, 0}, false, insertion);
        } else {
            made = document.createChildNode(*pending.parentUID, source.title, insertion);
        }
        // A node just made is sized to its title already, and its note plays no part in its size: only a
        // node with an image (whose size is kept when it would shrink) is measured again. One with neither
        // a note nor an image is stored as it is.
        if (made && (!source.note.empty() || made->image())) {
            made->note = source.note;
            std::vector<Node> sized;
            sized.push_back(made->image() ? autosizeNode(*made, autosizeKeepCenter) : std::move(*made));
            made = std::move(document.updateNodes(std::move(sized), NodeUpdateOperation::size, false).front());
        }
        const std::optional<std::int64_t> childParent = made ? std::optional<std::int64_t>(made->uid) : std::nullopt;
        if (isTop)
            top = childParent;

        const std::vector<std::size_t> children = index.positionsOf(source.childrenUIDs);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, childParent});
    }
    return top;
}

// Room between trees packed side by side, and between the rows they are packed in: more than the room
// between a node and its siblings or children, so that each tree reads as one.
constexpr double packedTreeGapX = 40.0;
constexpr double packedTreeGapY = 30.0;
// The shape (width by height) packed trees tend to: about that of the canvas in a new editor window.
constexpr double packedAspect = 4.0 / 3.0;
// Row widths tried when packing trees: this many, spread evenly (by ratio) over a range from the ideal width
// divided by packedWidthRange to the ideal width times it, within the widest tree and all trees in one row,
// and then a few around the best of them.
constexpr int packedWidthSteps = 5;
constexpr double packedWidthRange = 3.0;
// A lone tree's root lands this far above and left of the point.
constexpr double loneTreeOffset = 50.0;

// The room left in each row of a packing, to find the first row from a given one with room for a width in
// logarithmic time: a tree of maxima over the rows, brought up to date only when it is searched.
class RowRoom {
public:
    explicit RowRoom(std::size_t capacity)
    {
        while (leaves_ < capacity)
            leaves_ *= 2;
        room_.assign(2 * leaves_, noRoom);
        isStale_.assign(leaves_, 0);
    }
    // Forgets the rows from the first on, as many as given.
    void clear(std::size_t rows)
    {
        for (std::size_t row = 0; row < rows; ++row)
            set(row, noRoom);
    }
    double at(std::size_t row) const { return room_[leaves_ + row]; }
    void set(std::size_t row, double room)
    {
        room_[leaves_ + row] = room;
        if (!isStale_[row]) {
            isStale_[row] = 1;
            stale_.push_back(row);
        }
    }
    // The first row from the given one on with at least this room; none when there is none.
    std::size_t firstWith(double width, std::size_t from)
    {
        for (const std::size_t row : stale_) {
            isStale_[row] = 0;
            for (std::size_t at = (leaves_ + row) / 2; at > 0; at /= 2)
                room_[at] = std::max(room_[2 * at], room_[2 * at + 1]);
        }
        stale_.clear();
        return firstWith(width, from, 1, 0, leaves_);
    }
    static constexpr std::size_t none = std::size_t(-1);

private:
    static constexpr double noRoom = -1.0;

    // The same within the rows [begin, end) that the entry at covers.
    std::size_t firstWith(double width, std::size_t from, std::size_t at, std::size_t begin, std::size_t end) const
    {
        if (end <= from || room_[at] < width)
            return none;
        if (at >= leaves_)
            return begin;
        const std::size_t middle = begin + (end - begin) / 2;
        const std::size_t left = firstWith(width, from, 2 * at, begin, middle);
        return left != none ? left : firstWith(width, from, 2 * at + 1, middle, end);
    }

    std::size_t leaves_ = 1;
    std::vector<double> room_;
    std::vector<std::size_t> stale_;
    std::vector<char> isStale_;
};

// Trees of given sizes packed in rows (shelves) no wider than a width: the tallest first, trees of the same
// height in their order, each at the top of the first row with room for it (a new row below the others when
// none has); a tree as high as the one before goes no further up than that one, so trees of one height read
// in their order, row by row. One packer tries many widths.
class TreePacker {
public:
    explicit TreePacker(const std::vector<Size>& sizes)
        : sizes_(sizes), tallestFirst_(sizes.size()), room_(sizes.size())
    {
        for (std::size_t k = 0; k < sizes.size(); ++k)
            tallestFirst_[k] = k;
        std::stable_sort(tallestFirst_.begin(), tallestFirst_.end(),
                         [&](std::size_t a, std::size_t b) { return sizes_[a].height > sizes_[b].height; });
    }

    // The size of the packing at the row width, and when asked the trees' top-left corners in it.
    Size pack(double rowWidth, std::vector<Point>* corners = nullptr)
    {
        if (corners)
            corners->resize(sizes_.size());
        room_.clear(rows_.size());
        rows_.clear();
        Size size;
        std::size_t lastRow = 0;
        double lastHeight = -1;
        for (const std::size_t k : tallestFirst_) {
            const Size tree = sizes_[k];
            const double needed = tree.width + packedTreeGapX;
            const std::size_t from = tree.height == lastHeight ? lastRow : 0;
            std::size_t row = RowRoom::none;
            if (from < rows_.size() && room_.at(from) >= needed)
                row = from;
            else if (from + 1 < rows_.size())
                row = room_.firstWith(needed, from + 1);
            if (row == RowRoom::none) {
                const double top = rows_.empty() ? 0.0 : rows_.back().top + rows_.back().height + packedTreeGapY;
                row = rows_.size();
                rows_.push_back({top, tree.height, 0.0});
            }
            Row& into = rows_[row];
            if (corners)
                (*corners)[k] = Point{into.end, into.top};
            size.width = std::max(size.width, into.end + tree.width);
            into.end += needed;
            // A row holds at least one tree, however wide.
            room_.set(row, rowWidth + packedTreeGapX - into.end);
            lastRow = row;
            lastHeight = tree.height;
        }
        if (!rows_.empty())
            size.height = rows_.back().top + rows_.back().height;
        return size;
    }

private:
    struct Row {
        double top;
        double height;
        double end;  // where the next tree of the row would begin
    };
    const std::vector<Size>& sizes_;
    std::vector<std::size_t> tallestFirst_;
    std::vector<Row> rows_;
    RowRoom room_;
};

// How far a packing is from a good one: its area, weighed by how far its shape is from packedAspect.
double packingCost(const Size& size)
{
    const double area = size.width * size.height;
    if (!(size.width > 0) || !(size.height > 0))
        return area;
    const double shape = size.width / size.height / packedAspect;
    return area * std::sqrt(std::max(shape, 1 / shape));
}

// Laid-out trees placed around the point. A lone tree's root lands loneTreeOffset above and left of the
// point. Several trees are packed by their bounding boxes (a tree laid out on both sides of its root takes
// room on both) in rows, the tallest trees first, at the row width among a range of them that gives the most
// compact packing of a pleasant shape; no two trees overlap, and the packing is centred on the point.
void placeTrees(std::vector<Node>& nodes, const std::vector<std::size_t>& treeStarts,
                const std::vector<std::int64_t>& roots, Point at)
{
    const std::size_t n = roots.size();
    const auto tree = [&](std::size_t k) {
        return std::span<Node>(nodes.begin() + std::ptrdiff_t(treeStarts[k]), nodes.begin() + std::ptrdiff_t(treeStarts[k + 1]));
    };
    if (n == 1) {
        const std::span<Node> nodesOfTree = tree(0);
        const auto root = std::find_if(nodesOfTree.begin(), nodesOfTree.end(),
                                       [&](const Node& node) { return node.uid == roots[0]; });
        if (root == nodesOfTree.end())
            return;
        const Point move = at - Point{loneTreeOffset, loneTreeOffset} - root->center;
        for (Node& node : nodesOfTree)
            node.center = node.center + move;
        return;
    }

    std::vector<Rect> bounds;
    std::vector<Size> sizes;
    bounds.reserve(n);
    sizes.reserve(n);
    double widest = 0;
    double inOneRow = -packedTreeGapX;
    double paddedArea = 0;
    for (std::size_t k = 0; k < n; ++k) {
        bounds.push_back(tree(k).empty() ? Rect(0, 0, 0, 0) : Graph::boundingRectOfRange(tree(k)));
        const Size size = bounds.back().size;
        sizes.push_back(size);
        widest = std::max(widest, size.width);
        inOneRow += size.width + packedTreeGapX;
        paddedArea += (size.width + packedTreeGapX) * (size.height + packedTreeGapY);
    }
    // All trees in one row, which suits few trees of very different heights, and row widths around the one
    // that would give a perfectly filled packing of packedAspect's shape: a few spread over the range, then
    // a few closer around the best of those.
    TreePacker packer(sizes);
    double bestWidth = inOneRow;
    double bestCost = packingCost(packer.pack(inOneRow));
    const double ideal = std::sqrt(paddedArea * packedAspect);
    const double narrowest = std::max(widest, ideal / packedWidthRange);
    const double widestRow = std::max(narrowest, std::min(inOneRow, ideal * packedWidthRange));
    if (narrowest > 0 && widestRow > narrowest) {
        // Widths by their place between the narrowest and the widest row, counted by ratio.
        double bestPlace = -1;
        const auto tryPlace = [&](double place) {
            const double rowWidth = narrowest * std::pow(widestRow / narrowest, std::clamp(place, 0.0, 1.0));
            if (const double cost = packingCost(packer.pack(rowWidth)); cost < bestCost) {
                bestWidth = rowWidth;
                bestCost = cost;
                bestPlace = place;
            }
        };
        for (int step = 0; step < packedWidthSteps; ++step)
            tryPlace(double(step) / (packedWidthSteps - 1));
        const double around = bestPlace;
        for (const double offset : {-0.5, 0.5, -0.25, 0.25})
            if (around >= 0)
                tryPlace(around + offset / (packedWidthSteps - 1));
    }
    std::vector<Point> corners;
    const Size packed = packer.pack(bestWidth, &corners);

    const Point corner = at - Point{packed.width / 2, packed.height / 2};
    for (std::size_t k = 0; k < n; ++k) {
        const Point move = corner + corners[k] - bounds[k].origin;
        for (Node& node : tree(k))
            node.center = node.center + move;
    }
}

} // namespace

std::optional<Node> DocumentInsertion::insertImageNode(const std::string& title, Point at, const Image& image)
{
    Node node = document_.createRootNode(title, at, true);
    node.setImage(image);
    document_.updateNodes({autosizeNode(node, autosizeKeepCenter)}, NodeUpdateOperation::size, false);
    DocumentLayout(document_).resolveCollisions();
    return document_.project().graph.node(node.uid);
}

// ---- Inserting node trees ----

std::optional<Node> DocumentInsertion::insertNodeTree(const Node& source, std::optional<std::int64_t> parentUID,
                                                      const std::vector<Node>& from)
{
    // The source itself need not be in the list; it is walked from a list that holds it first.
    std::vector<Node> list;
    list.reserve(from.size() + 1);
    list.push_back(source);
    list.insert(list.end(), from.begin(), from.end());
    std::vector<bool> inserted(list.size());
    const std::optional<std::int64_t> made =
        insertTree(document_, 0, parentUID, list, SourceIndex(list), inserted, nullptr);
    return made ? document_.project().graph.node(*made) : std::nullopt;
}

std::vector<Node> DocumentInsertion::insertNodes(const std::vector<Node>& nodes, Point at)
{
    const VQProject& project = document_.project();
    // A map that grew past what is opened could be saved but never opened again.
    if (project.graph.count() + nodes.size() > VQDocumentFiles::maximumNodeCount) {
        VQ_LOG("insertNodes(_:at:)", VQDocumentFiles::tooManyNodesMessage(project.graph.count() + nodes.size()));
        return {};
    }
    const SourceIndex index(nodes);
    std::vector<bool> inserted(nodes.size());
    std::vector<std::int64_t> roots;
    {
        // The titles are laid out meanwhile from the start.
        std::unique_ptr<TextsMeasuredAhead> titlesAhead = measureTitlesAhead(project, nodes, index);
        // Nodes are only added until every tree is made: the free centres and tree roots are kept meanwhile.
        NodeTreeInsertion insertion(project.graph, nodes.size());
        insertion.titlesAhead = std::move(titlesAhead);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].parentUID)
                continue;
            if (const auto root = insertTree(document_, i, std::nullopt, nodes, index, inserted, &insertion))
                roots.push_back(*root);
        }
    }
    if (roots.empty())
        return {};

    // Each tree laid out by the base options: horizontally when they say so or arrange by hand. The trees
    // are apart, so each is laid out, then all are packed around the point before they are stored at once.
    LayoutOptions options = project.baseLayoutOptions;
    if (options.isManual)
        options.layoutType = LayoutOptions::LayoutType::horizontal;
    auto layouter = ::velquine::makeLayouter(project.graph, options, true);
    std::vector<Node> result;
    if (roots.size() != 1)
        result.reserve(nodes.size());
    std::vector<std::size_t> treeStarts;
    treeStarts.reserve(roots.size() + 1);
    for (const std::int64_t rootUID : roots) {
        treeStarts.push_back(result.size());
        // The layouter reads its own copy of the graph: the stored root stays as it is meanwhile.
        const Node* root = project.graph.findNode(rootUID);
        if (!root)
            continue;
        // A root without children, each line of a flat outline, is laid out where it stands.
        if (root->childrenUIDs.empty()) {
            result.push_back(*root);
            continue;
        }
        std::vector<Node> tree = layouter->layoutNodeTree(*root);
        // A single tree (a wide outline) is the result as it is: a large list is not written twice.
        if (roots.size() == 1)
            result = std::move(tree);
        else
            result.insert(result.end(), std::make_move_iterator(tree.begin()), std::make_move_iterator(tree.end()));
    }
    treeStarts.push_back(result.size());
    placeTrees(result, treeStarts, roots, at);
    // The trees are apart and stored as placed: each node is there once, as the graph now holds it. The nodes
    // were made during this insertion and nothing else holds them once the layouter is gone, so they are written
    // where they are stored rather than stored anew.
    layouter.reset();
    const double now = Clock::now();
    for (Node& node : result) {
        if (node.createdTimestamp < 0)
            node.createdTimestamp = now;
    }
    document_.overwriteNodes(result);
    return result;
}

} // namespace velquine
