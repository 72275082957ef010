// The project edits that size the nodes they insert or restyle; declared with VQProject in the model.

#include "model/project/VQProject.h"

#include "layout/NodeSizing.h"

namespace velquine {

void VQProject::applyStyle(const ProjectStyle& style, bool applyShapes, bool applyBorders, bool autosizeNodes)
{
    std::vector<Node> restyled = restyledNodes(style, applyShapes, applyBorders);
    if (autosizeNodes) {
        for (Node& node : restyled)
            node = autosizeNode(node, autosizeKeepCenter);
    }
    graph.storeNodes(restyled);
}

Node VQProject::insertRootNode(const std::string& title, Point center)
{
    FreeCenters freeCenters(graph);
    return insertRootNode(title, center, freeCenters);
}

Node VQProject::insertRootNode(const std::string& title, Point center, FreeCenters& freeCenters,
                               const TextsMeasuredAhead* titlesAhead)
{
    const NodeStyle& level = projectStyle.current.rootNodeStyle;
    const Point free = freeCenters.firstFreeCenter(center, newRootNodeSize);
    Node root(title, free, newRootNodeSize, level);
    root.shape = projectStyle.current.rootNodeShape;
    root.style.branchColor = level.borderColor;
    root = autosizeNode(std::move(root), autosizeKeepCenter, titlesAhead);
    graph.storeNode(Node(root));
    freeCenters.take(root.center);
    return root;
}

Node VQProject::insertChildNode(const Node& parent, const std::string& title, Point center)
{
    const NodeStyle& firstStyle = firstChildStyle(parent);
    const Node child = graph.addChildNode(parent, title, firstStyle, center, newChildNodeSize);
    const Node styled = styledChildNode(parent, child, std::nullopt);
    graph.storeNodes({styled});
    return styled;
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

Node VQProject::styledChildNode(const Node& parent, const Node& child, std::optional<std::size_t> palettePosition,
                                const TextsMeasuredAhead* titlesAhead) const
{
    const ProjectStyle::Values& values = projectStyle.current;
    Node styled = styledNode(child, palettePosition);
    const NodeStyle& parentLevel = levelStyle(values, graph.nodeType(parent));
    const NodeStyle& ps = parent.style;

    styled.childrenShouldInheritShape = parent.childrenShouldInheritShape;
    if (ps.borderStyle != parentLevel.borderStyle)
        styled.style.borderStyle = ps.borderStyle;
    if (ps.branchStyle != parentLevel.branchStyle)
        styled.style.branchStyle = ps.branchStyle;

    const NodeType childType = graph.nodeType(styled);
    if (childType == NodeType::sub) {
        styled.style.borderColor = ps.borderColor;
        styled.style.branchColor = ps.branchColor;
        // Compared with the main-node style also when the parent is itself a sub node.
        if (ps.borderWidth != values.mainNodeStyle.borderWidth)
            styled.style.borderWidth = ps.borderWidth;
        if (ps.branchWidth != values.mainNodeStyle.branchWidth)
            styled.style.branchWidth = ps.branchWidth;
    } else if (childType == NodeType::main) {
        if (ps.borderWidth != values.rootNodeStyle.borderWidth)
            styled.style.borderWidth = ps.borderWidth;
        styled.style.branchWidth = ps.branchWidth;
    }
    if (parent.childrenShouldInheritShape)
        styled.shape = parent.shape;

    return autosizeNode(std::move(styled), autosizeKeepCenter, titlesAhead);
}

std::optional<Node> VQProject::insertParentNode(const Node& node, const std::string& title, Point center, Size size)
{
    if (node.parentUID)
        return std::nullopt;
    Node newParent(title, center, size, projectStyle.current.rootNodeStyle);
    newParent.childrenUIDs.push_back(node.uid);
    newParent.shape = node.shape;
    graph.storeNodes({newParent});

    Node child = node;
    child.parentUID = newParent.uid;
    graph.storeNodes({child});

    // Sized with the child's shape, before restyling.
    const Node sizedParent = autosizeNode(newParent, autosizeKeepCenter);
    const Node styledChild = styledNode(child);
    const Node styledParent = styledNode(sizedParent);
    graph.storeNodes({styledParent, styledChild});
    return styledParent;
}

Node VQProject::insertIntermediateParentNode(const Node& parent, const Node& node, const std::string& title,
                                             Point center, Size size)
{
    const ProjectStyle::Values& values = projectStyle.current;
    const NodeStyle& firstStyle =
        graph.nodeType(parent) == NodeType::root ? values.mainNodeStyle : values.subNodeStyle;
    const Node inserted = graph.insertIntermediateNode(parent, node, title, firstStyle, center, size);

    Node styled = styledNode(inserted);
    styled.childrenShouldInheritShape = parent.childrenShouldInheritShape;
    styled.style.borderStyle = parent.style.borderStyle;
    styled.style.branchStyle = parent.style.branchStyle;
    if (parent.childrenShouldInheritShape)
        styled.shape = parent.shape;
    graph.storeNodes({styled});

    styled = autosizeNode(styled, autosizeKeepCenter);
    graph.storeNodes({styled});
    return styled;
}

} // namespace velquine
