#include "layout/VQProjectEdits.h"

#include "layout/NodeSizing.h"

namespace velquine {

void applyStyle(VQProject& project, const ProjectStyle& style, bool applyShapes, bool applyBorders, bool autosizeNodes)
{
    std::vector<Node> restyled = project.restyledNodes(style, applyShapes, applyBorders);
    if (autosizeNodes) {
        for (Node& node : restyled)
            node = autosizeNode(node, autosizeKeepCenter);
    }
    project.graph.storeNodes(restyled);
}

Node insertRootNode(VQProject& project, const std::string& title, Point center)
{
    FreeCenters freeCenters(project.graph);
    return insertRootNode(project, title, center, freeCenters);
}

Node insertRootNode(VQProject& project, const std::string& title, Point center, FreeCenters& freeCenters,
                    const TextsMeasuredAhead* titlesAhead)
{
    const NodeStyle& level = project.projectStyle.current.rootNodeStyle;
    const Point free = freeCenters.firstFreeCenter(center, VQProject::newRootNodeSize);
    Node root(title, free, VQProject::newRootNodeSize, level);
    root.shape = project.projectStyle.current.rootNodeShape;
    root.style.branchColor = level.borderColor;
    root = autosizeNode(std::move(root), autosizeKeepCenter, titlesAhead);
    project.graph.storeNode(Node(root));
    freeCenters.take(root.center);
    return root;
}

Node insertChildNode(VQProject& project, const Node& parent, const std::string& title, Point center)
{
    const NodeStyle& firstStyle = project.firstChildStyle(parent);
    const Node child = project.graph.addChildNode(parent, title, firstStyle, center, VQProject::newChildNodeSize);
    const Node styled = styledChildNode(project, parent, child, std::nullopt);
    project.graph.storeNodes({styled});
    return styled;
}

Node styledChildNode(const VQProject& project, const Node& parent, const Node& child,
                     std::optional<std::size_t> palettePosition, const TextsMeasuredAhead* titlesAhead)
{
    const Graph& graph = project.graph;
    const ProjectStyle::Values& values = project.projectStyle.current;
    Node styled = project.styledNode(child, palettePosition);
    const NodeStyle& parentLevel = VQProject::levelStyle(values, graph.nodeType(parent));
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

std::optional<Node> insertParentNode(VQProject& project, const Node& node, const std::string& title, Point center,
                                     Size size)
{
    if (node.parentUID)
        return std::nullopt;
    Node newParent(title, center, size, project.projectStyle.current.rootNodeStyle);
    newParent.childrenUIDs.push_back(node.uid);
    newParent.shape = node.shape;
    project.graph.storeNodes({newParent});

    Node child = node;
    child.parentUID = newParent.uid;
    project.graph.storeNodes({child});

    // Sized with the child's shape, before restyling.
    const Node sizedParent = autosizeNode(newParent, autosizeKeepCenter);
    const Node styledChild = project.styledNode(child);
    const Node styledParent = project.styledNode(sizedParent);
    project.graph.storeNodes({styledParent, styledChild});
    return styledParent;
}

Node insertIntermediateParentNode(VQProject& project, const Node& parent, const Node& node, const std::string& title,
                                  Point center, Size size)
{
    Graph& graph = project.graph;
    const ProjectStyle::Values& values = project.projectStyle.current;
    const NodeStyle& firstStyle =
        graph.nodeType(parent) == NodeType::root ? values.mainNodeStyle : values.subNodeStyle;
    const Node inserted = graph.insertIntermediateNode(parent, node, title, firstStyle, center, size);

    Node styled = project.styledNode(inserted);
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
