#pragma once

// The whole content of one document as a single value: project information, the node graph, the style in
// force, the background grid, the base layout options and the selection.
//
// The value is copied whole (the document keeps copies as undo snapshots), so nothing in it depends on
// identity. It has no equality, hash or coding of its own; the document store writes it field by field.
//
// Styling follows a node's level (NodeType): root, main (child of a root) or sub (deeper, or whose parent is
// not stored). Each level has a node style and shape in projectStyle.current, and main nodes take colours
// from its palette: the entry at the rank of the node's identifier among its siblings' identifiers (sorted
// ascending), counted round the palette. With an empty palette no palette colour is taken and the level
// style's colours stand.
//
// The operations that size the nodes they insert or restyle (applyStyle and the four insertions) are
// defined with the text measurement, in the layout library; everything else lives with the model.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/FlatHashMap.h"
#include "model/graph/Graph.h"
#include "model/graph/Grid.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "model/style/ProjectStyle.h"
#include "platform/Geometry.h"

namespace velquine {

class TextsMeasuredAhead;

// The centres taken in a graph, kept while many roots are inserted one after another (an import or a
// paste), so that finding a free centre costs what the search walks past, not the whole graph. It answers
// as VQProject::firstFreeCenter would, as long as nodes are only added meanwhile and every added node's
// centre is taken() here; a search from a place searched before goes on from where the last one ended.
class FreeCenters {
public:
    // Room is made up front for the graph's centres and as many more as the insertion will add.
    explicit FreeCenters(const Graph& graph, std::size_t adding = 0);
    Point firstFreeCenter(Point from, Size size);
    void take(Point center);

    // Centres compared exactly, 0.0 and -0.0 as one.
    struct CenterHash {
        std::uint64_t operator()(const std::pair<double, double>& center) const;
    };
    using TakenCenters = FlatHashSet<std::pair<double, double>, CenterHash>;

private:
    TakenCenters taken_;
    std::map<std::tuple<double, double, double>, Point> searchedUpTo_;
};

class VQProject {
public:
    // The version of the data model every project made here belongs to.
    static constexpr std::int64_t currentDataSchemaVersion = 2;

    // Sizes of new nodes before they are sized to their titles.
    static constexpr Size newRootNodeSize{128.0, 48.0};
    static constexpr Size newChildNodeSize{98.0, 38.0};

    // A new project: schema version 2, empty texts, no nodes, the built-in "Omaha" style (current equal to
    // defaults), no grid with cells of 24 by 24 points, base layout options horizontal, balanced, rounded and
    // automatic, and no selection. Never reads user settings.
    VQProject();

    std::int64_t dataSchemaVersion() const { return dataSchemaVersion_; }

    std::string title;
    std::string author;
    std::string notes;
    Graph graph;
    ProjectStyle projectStyle;
    Grid grid;
    LayoutOptions baseLayoutOptions;
    // In the order it was set; identifiers that name no node are skipped by lookups.
    std::vector<std::int64_t> selectedNodeUIDs;

    // ---- Selection and free places ----

    // The selection becomes the identifiers of the nodes, in order, repeats kept. Notifies nobody.
    void setSelectedNodes(const std::vector<Node>& nodes);

    // The candidate when no node's centre equals it exactly; else the candidate moved down (larger y) by 1.5
    // times the height, as often as needed. The width is not used. A height that is not positive, or a step
    // too small to change y, gives the candidate as it stands then instead of searching forever.
    static Point firstFreeCenter(Point from, Size size, const std::vector<Node>& among);
    // The same among every node of a graph, without copying them.
    static Point firstFreeCenter(Point from, Size size, const Graph& among);

    // ---- Styling (the project is not changed) ----

    // The node with the style and shape of its level against the current graph; a parent whose children
    // inherit its shape gives its own shape instead.
    Node styledNode(const Node& node) const;
    // The same with the node's palette position given; none looks it up.
    Node styledNode(const Node& node, std::optional<std::size_t> palettePosition) const;
    // The node with the style, the shape (its own when none is given) and the level colour rules: a main
    // node takes its palette entry's stroke as border and branch colour, its fill too with dynamic main
    // node colours, and its parent's branch width; a sub node takes its palette stroke, then its stored
    // parent's border colour (as border and branch colour) and fill colour.
    Node styledNode(const Node& node, const NodeStyle& style, std::optional<NodeShape> shape,
                    std::optional<std::size_t> palettePosition = std::nullopt) const;
    // The node with the style, the shape (its own when none is given) and only the palette colours of its
    // level (no parent colours, no parent branch width). Serves applyStyle.
    Node themedNode(const Node& node, const NodeStyle& style, std::optional<NodeShape> shape,
                    std::optional<std::size_t> palettePosition = std::nullopt) const;
    // styledNode(_:) of each node, in order. Drops hand-set font sizes with every other difference from the
    // level style.
    std::vector<Node> resetStyle(const std::vector<Node>& nodes) const;

    // The palette position of a node: the rank of its identifier among its stored parent's children
    // identifiers sorted ascending; 0 without a stored parent or when the parent does not list it.
    std::size_t palettePosition(const Node& node) const;
    // The node style and shape of a level in the given values.
    static const NodeStyle& levelStyle(const ProjectStyle::Values& values, NodeType type);
    static NodeShape levelShape(const ProjectStyle::Values& values, NodeType type);

    // ---- Edits that size nodes (defined in the layout library) ----

    // projectStyle becomes the style, and every node is restyled for its level: shapes only with
    // applyShapes; border width, border style, branch style and branch width only with applyBorders; the
    // colours, text colour, alignment, underline, strike-through, image position and font always (a node
    // whose font size was set by hand keeps its point size). Every node under a main node then takes the
    // main node's border colour (as border and branch colour) and fill colour. With autosizeNodes every
    // node is sized to its title, keeping its centre.
    void applyStyle(const ProjectStyle& style, bool applyShapes, bool applyBorders, bool autosizeNodes);

    // A new root node at the first free centre from the requested one, styled as a root, sized to its
    // title around that centre, stored and returned as stored.
    Node insertRootNode(const std::string& title, Point center);
    // The same with the free centre found in (and then taken in) the given index of this project's graph, the
    // title measured from the titles laid out ahead when given.
    Node insertRootNode(const std::string& title, Point center, FreeCenters& freeCenters,
                        const TextsMeasuredAhead* titlesAhead = nullptr);
    // A new child appended to the parent's children, styled for its level with the parent's carried-over
    // strokes, widths, colours and shape inheritance, sized to its title, stored and returned as stored.
    Node insertChildNode(const Node& parent, const std::string& title, Point center);
    // The steps of insertChildNode for a stored parent, with nothing stored: the new child (a fresh identifier,
    // the first style of its level), then that child styled and sized for its place. The palette position is
    // the child's among its siblings once listed; none looks it up in the parent's stored list. The title is
    // measured from the titles laid out ahead when given.
    Node newChildNode(const Node& parent, const std::string& title, Point center) const;
    Node styledChildNode(const Node& parent, const Node& child, std::optional<std::size_t> palettePosition,
                         const TextsMeasuredAhead* titlesAhead = nullptr) const;
    // A new root above a root node, which becomes its only child (a main node); nothing when the node has
    // a parent. The node's descendants keep their styles.
    std::optional<Node> insertParentNode(const Node& node, const std::string& title, Point center, Size size);
    // A new node between the parent and the node: last among the parent's children, holding the node alone,
    // styled for its level with the parent's shape inheritance, border style and branch style.
    Node insertIntermediateParentNode(const Node& parent, const Node& node, const std::string& title,
                                      Point center, Size size);

private:
    // The style a new child of the parent starts from.
    const NodeStyle& firstChildStyle(const Node& parent) const;
    // The steps of applyStyle that need no sizing: projectStyle becomes the style, and every node comes back
    // restyled, main-node families coloured, in bin order; the graph is not written.
    std::vector<Node> restyledNodes(const ProjectStyle& style, bool applyShapes, bool applyBorders);

    std::int64_t dataSchemaVersion_ = currentDataSchemaVersion;
};

} // namespace velquine
