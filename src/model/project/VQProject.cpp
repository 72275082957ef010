#include "model/project/VQProject.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace velquine {

VQProject::VQProject()
    : projectStyle(ProjectStyle::omaha())
{
    // Applying the style to the empty graph stores it again and changes nothing else; no node needs sizing.
    graph.storeNodes(restyledNodes(ProjectStyle(projectStyle), true, true));
}

void VQProject::setSelectedNodes(const std::vector<Node>& nodes)
{
    selectedNodeUIDs.clear();
    selectedNodeUIDs.reserve(nodes.size());
    for (const Node& node : nodes)
        selectedNodeUIDs.push_back(node.uid);
}

namespace {

// The first place from the candidate downwards that no taken centre holds exactly.
Point firstFreePlace(Point from, Size size, const FreeCenters::TakenCenters& taken)
{
    const double step = 1.5 * size.height;
    Point candidate = from;
    if (std::isnan(candidate.x) || std::isnan(candidate.y))
        return candidate;
    while (taken.contains({candidate.x, candidate.y})) {
        if (!(size.height > 0))
            return candidate;
        const double nextY = candidate.y + step;
        if (nextY == candidate.y)
            return candidate;
        candidate.y = nextY;
    }
    return candidate;
}

// Exact equality of both coordinates; a NaN centre equals nothing, and 0.0 and -0.0 are one place.
void addCenter(FreeCenters::TakenCenters& taken, Point center)
{
    if (!std::isnan(center.x) && !std::isnan(center.y))
        taken.insert({center.x, center.y});
}

// The centres of the graph's nodes, with room for as many more.
FreeCenters::TakenCenters centersOf(const Graph& graph, std::size_t adding)
{
    FreeCenters::TakenCenters taken(graph.count() + adding);
    for (const auto& entry : graph.nodeBin())
        addCenter(taken, entry.second.center);
    return taken;
}

} // namespace

std::uint64_t FreeCenters::CenterHash::operator()(const std::pair<double, double>& center) const
{
    // Adding 0.0 turns -0.0 into 0.0, which == holds equal.
    return mixBits(std::bit_cast<std::uint64_t>(center.first + 0.0) ^ mixBits(std::bit_cast<std::uint64_t>(center.second + 0.0)));
}

Point VQProject::firstFreeCenter(Point from, Size size, const std::vector<Node>& among)
{
    FreeCenters::TakenCenters taken(among.size());
    for (const Node& node : among)
        addCenter(taken, node.center);
    return firstFreePlace(from, size, taken);
}

Point VQProject::firstFreeCenter(Point from, Size size, const Graph& among)
{
    return firstFreePlace(from, size, centersOf(among, 0));
}

FreeCenters::FreeCenters(const Graph& graph, std::size_t adding) : taken_(centersOf(graph, adding)) { }

Point FreeCenters::firstFreeCenter(Point from, Size size)
{
    const std::tuple<double, double, double> key{from.x, from.y, size.height};
    const auto searched = searchedUpTo_.find(key);
    // Every place between the start and where the last search ended was taken then, and still is.
    const Point free = firstFreePlace(searched == searchedUpTo_.end() ? from : searched->second, size, taken_);
    if (!std::isnan(from.x) && !std::isnan(from.y) && !std::isnan(size.height))
        searchedUpTo_.insert_or_assign(key, free);
    return free;
}

void FreeCenters::take(Point center)
{
    addCenter(taken_, center);
}

const NodeStyle& VQProject::levelStyle(const ProjectStyle::Values& values, NodeType type)
{
    switch (type) {
    case NodeType::root:
        return values.rootNodeStyle;
    case NodeType::main:
        return values.mainNodeStyle;
    case NodeType::sub:
        break;
    }
    return values.subNodeStyle;
}

NodeShape VQProject::levelShape(const ProjectStyle::Values& values, NodeType type)
{
    switch (type) {
    case NodeType::root:
        return values.rootNodeShape;
    case NodeType::main:
        return values.mainNodeShape;
    case NodeType::sub:
        break;
    }
    return values.subNodeShape;
}

std::size_t VQProject::palettePosition(const Node& node) const
{
    if (!node.parentUID)
        return 0;
    const Node* parent = graph.findNode(*node.parentUID);
    if (!parent)
        return 0;
    // The first position of the identifier in the sorted list is the number of smaller identifiers.
    std::size_t smaller = 0;
    bool listed = false;
    for (std::int64_t sibling : parent->childrenUIDs) {
        if (sibling < node.uid)
            ++smaller;
        else if (sibling == node.uid)
            listed = true;
    }
    return listed ? smaller : 0;
}

Node VQProject::themedNode(const Node& node, const NodeStyle& style, std::optional<NodeShape> shape,
                           std::optional<std::size_t> palettePosition) const
{
    Node result = node;
    result.style = style;
    if (shape)
        result.shape = *shape;
    const NodeType type = graph.nodeType(node);
    if (type == NodeType::root)
        return result;
    // Without a palette entry (an empty palette) the given style's colours stand.
    const std::size_t position = palettePosition ? *palettePosition : this->palettePosition(node);
    if (const auto entry = projectStyle.current.paletteEntry(position)) {
        result.style.borderColor = entry->strokeColor;
        result.style.branchColor = entry->strokeColor;
        if (type == NodeType::main && projectStyle.current.dynamicMainNodeColors)
            result.style.fillColor = entry->fillColor;
    }
    return result;
}

Node VQProject::styledNode(const Node& node, const NodeStyle& style, std::optional<NodeShape> shape,
                           std::optional<std::size_t> palettePosition) const
{
    Node result = themedNode(node, style, shape, palettePosition);
    const NodeType type = graph.nodeType(node);
    if (type == NodeType::root)
        return result;
    const Node* parent = graph.findNode(*node.parentUID);
    if (!parent)
        return result;
    if (type == NodeType::main) {
        result.style.branchWidth = parent->style.branchWidth;
    } else {
        result.style.borderColor = parent->style.borderColor;
        result.style.branchColor = parent->style.borderColor;
        result.style.fillColor = parent->style.fillColor;
    }
    return result;
}

Node VQProject::styledNode(const Node& node) const
{
    return styledNode(node, std::nullopt);
}

Node VQProject::styledNode(const Node& node, std::optional<std::size_t> palettePosition) const
{
    const NodeType type = graph.nodeType(node);
    NodeShape shape = levelShape(projectStyle.current, type);
    if (node.parentUID) {
        const Node* parent = graph.findNode(*node.parentUID);
        if (parent && parent->childrenShouldInheritShape)
            shape = parent->shape;
    }
    return styledNode(node, levelStyle(projectStyle.current, type), shape, palettePosition);
}

std::vector<Node> VQProject::resetStyle(const std::vector<Node>& nodes) const
{
    std::vector<Node> result;
    result.reserve(nodes.size());
    for (const Node& node : nodes)
        result.push_back(styledNode(node));
    return result;
}

Node VQProject::newChildNode(const Node& parent, const std::string& title, Point center) const
{
    Node child(title, center, newChildNodeSize, firstChildStyle(parent));
    child.parentUID = parent.uid;
    return child;
}

const NodeStyle& VQProject::firstChildStyle(const Node& parent) const
{
    const ProjectStyle::Values& values = projectStyle.current;
    return graph.nodeType(parent) == NodeType::root ? values.mainNodeStyle : values.subNodeStyle;
}

std::vector<Node> VQProject::restyledNodes(const ProjectStyle& style, bool applyShapes, bool applyBorders)
{
    projectStyle = style;
    const ProjectStyle::Values& values = projectStyle.current;

    // Levels and palette ranks read only parent links and children lists, which restyling leaves alone, so
    // every node is restyled against the graph as it stands.
    std::vector<Node> restyled;
    restyled.reserve(graph.count());
    std::unordered_map<std::int64_t, std::size_t> indexOf;
    indexOf.reserve(graph.count());
    for (const auto& [uid, node] : graph.nodeBin()) {
        const NodeType type = graph.nodeType(node);
        const NodeStyle& level = levelStyle(values, type);
        const std::optional<NodeShape> shape =
            applyShapes ? std::optional<NodeShape>(levelShape(values, type)) : std::nullopt;

        NodeStyle newStyle = level;
        if (!applyBorders) {
            newStyle.borderWidth = node.style.borderWidth;
            newStyle.borderStyle = node.style.borderStyle;
            newStyle.branchStyle = node.style.branchStyle;
            newStyle.branchWidth = node.style.branchWidth;
        }
        if (node.style.userOverrides.contains(NodeStyle::UserOverride::fontSize))
            newStyle.font = level.font.withPointSize(node.style.font.pointSize());
        newStyle.userOverrides = node.style.userOverrides;
        indexOf.emplace(uid, restyled.size());
        restyled.push_back(themedNode(node, newStyle, shape));
    }

    // Every main node hands its border colour (as border and branch colour) and fill colour down its subtree:
    // the main node first, then its descendants depth first, each reached once per main node.
    std::vector<std::int64_t> pending;
    std::unordered_set<std::int64_t> visited;
    for (const auto& [rootUID, root] : graph.nodeBin()) {
        if (root.parentUID)
            continue;
        for (std::int64_t mainUID : root.childrenUIDs) {
            const auto mainAt = indexOf.find(mainUID);
            if (mainAt == indexOf.end())
                continue;
            const Color border = restyled[mainAt->second].style.borderColor;
            const Color fill = restyled[mainAt->second].style.fillColor;
            visited.clear();
            pending.assign(1, mainUID);
            while (!pending.empty()) {
                const std::int64_t uid = pending.back();
                pending.pop_back();
                const auto at = indexOf.find(uid);
                if (at == indexOf.end() || !visited.insert(uid).second)
                    continue;
                Node& member = restyled[at->second];
                member.style.borderColor = border;
                member.style.branchColor = border;
                member.style.fillColor = fill;
                const std::vector<std::int64_t>& children = member.childrenUIDs;
                pending.insert(pending.end(), children.rbegin(), children.rend());
            }
        }
    }
    return restyled;
}

} // namespace velquine
