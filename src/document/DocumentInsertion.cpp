// The insertion of detached node trees that pasted and imported outlines go through.

#include "document/DocumentInsertion.h"

#include <algorithm>
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


// Gap between the cells of the grid inserted trees are set in.
constexpr double treeGap = 100.0;

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

// Laid-out trees set in a grid of 2 columns (3 from 6 trees on), each cell as wide and high as the largest tree
// in its column and row plus the gap, each tree's root at its cell's centre; then the grid centred on the
// point. The count of rows includes one more, empty, row when the last is full.
//
// A tree's size here is the smallest rectangle centred on its root that holds the whole tree: a root seldom
// sits in the middle of its tree (a heading chain grows to one side only), and a tree set by its root must
// stay inside its own cell, clear of the trees beside it. A lone tree keeps its bounding size: it has nothing
// to be kept apart from, and lands where it always did.
void placeInGrid(std::vector<Node>& nodes, const std::vector<std::size_t>& treeStarts,
                 const std::vector<std::int64_t>& roots, Point at)
{
    const std::size_t n = roots.size();
    const auto tree = [&](std::size_t k) {
        return std::span<Node>(nodes.begin() + std::ptrdiff_t(treeStarts[k]), nodes.begin() + std::ptrdiff_t(treeStarts[k + 1]));
    };
    const std::size_t columns = n <= 5 ? 2 : 3;
    const std::size_t rows = n / columns + 1;
    const auto rootOf = [&](std::size_t k) -> const Node* {
        const std::span<Node> nodesOfTree = tree(k);
        const auto root = std::find_if(nodesOfTree.begin(), nodesOfTree.end(),
                                       [&](const Node& node) { return node.uid == roots[k]; });
        return root != nodesOfTree.end() ? &*root : nullptr;
    };
    std::vector<Size> sizes;
    sizes.reserve(n);
    std::vector<double> columnWidth(columns, 0.0);
    std::vector<double> rowHeight(rows, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        const Rect bounds = Graph::boundingRectOfRange(tree(k));
        Size size = bounds.size;
        if (const Node* root = rootOf(k); root && n > 1) {
            const Point c = root->center;
            size.width = std::max(size.width, 2 * std::max(c.x - bounds.minX(), bounds.maxX() - c.x));
            size.height = std::max(size.height, 2 * std::max(c.y - bounds.minY(), bounds.maxY() - c.y));
        }
        sizes.push_back(size);
        columnWidth[k % columns] = std::max(columnWidth[k % columns], size.width + treeGap);
        rowHeight[k / columns] = std::max(rowHeight[k / columns], size.height + treeGap);
    }
    // Where each column and row begins.
    std::vector<double> columnStart(columns + 1, 0.0);
    for (std::size_t c = 0; c < columns; ++c)
        columnStart[c + 1] = columnStart[c] + columnWidth[c];
    std::vector<double> rowStart(rows + 1, 0.0);
    for (std::size_t r = 0; r < rows; ++r)
        rowStart[r + 1] = rowStart[r] + rowHeight[r];

    const Point shift = at - Point{columnStart[columns] / 2, rowStart[rows] / 2};
    for (std::size_t k = 0; k < n; ++k) {
        const Point cellCenter{columnStart[k % columns] + sizes[k].width / 2,
                               rowStart[k / columns] + sizes[k].height / 2};
        const Node* root = rootOf(k);
        const Point toCell = root ? cellCenter - root->center : Point{0, 0};
        // Two steps, as moving to the cell and then centring the grid would add them.
        for (Node& node : tree(k))
            node.center = node.center + toCell + shift;
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
    // are apart, so each is laid out, set in its cell and centred on the point before all are stored at once.
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
    placeInGrid(result, treeStarts, roots, at);
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
