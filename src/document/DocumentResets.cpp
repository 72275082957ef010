// The resets of nodes to what their level gives them, depth by depth.

#include "document/DocumentResets.h"

#include "document/VQDocument.h"
#include "layout/NodeSizing.h"

namespace velquine {

void DocumentResets::resetNodeStyle(const std::vector<Node>& nodes)
{
    document_.noteChange("resetNodeStyle(nodes:)");
    resetByDepth(nodes, ResetKind::style);
}

void DocumentResets::resetNodeColors(const std::vector<Node>& nodes)
{
    document_.noteChange("resetNodeColors(nodes:)");
    resetByDepth(nodes, ResetKind::colors);
}

void DocumentResets::resetNodeSize(const std::vector<Node>& nodes)
{
    document_.noteChange("resetNodeSize(nodes:)");
    resetByDepth(nodes, ResetKind::size);
}

void DocumentResets::resetByDepth(const std::vector<Node>& nodes, ResetKind kind)
{
    const VQProject& project = document_.project();
    // std::map keeps the depths ascending; each group is read afresh after the shallower ones were
    // written, so children see their parents' new values.
    const auto groups = project.graph.nodesGroupedByDepth(nodes);
    for (const auto& [depth, group] : groups) {
        std::vector<Node> current;
        current.reserve(group.size());
        for (const Node& given : group)
            if (auto stored = project.graph.node(given.uid))
                current.push_back(std::move(*stored));

        std::vector<Node> changed;
        NodeUpdateOperation operation = NodeUpdateOperation::style;
        switch (kind) {
        case ResetKind::style:
            changed = project.resetStyle(current);
            break;
        case ResetKind::size:
            changed = autosizeNodes(current, autosizeKeepCenter);
            operation = NodeUpdateOperation::size;
            break;
        case ResetKind::colors:
            changed.reserve(current.size());
            for (const Node& node : current)
                changed.push_back(resetColors(node));
            break;
        }
        document_.updateNodes(changed, operation, false);
    }
}

Node DocumentResets::resetColors(const Node& node) const
{
    const VQProject& project = document_.project();
    const ProjectStyle::Values& values = project.projectStyle.current;
    Node result = node;
    NodeStyle& style = result.style;
    switch (project.graph.nodeType(node)) {
    case NodeType::root:
        style.borderColor = values.rootNodeStyle.borderColor;
        style.fillColor = values.rootNodeStyle.fillColor;
        style.branchColor = values.rootNodeStyle.branchColor;
        style.textColor = values.rootNodeStyle.textColor;
        break;
    case NodeType::main: {
        // An empty palette gives no entry: the palette colours stay as they are.
        const std::optional<PaletteEntry> entry = values.paletteEntry(project.palettePosition(node));
        if (entry) {
            style.borderColor = entry->strokeColor;
            style.branchColor = entry->strokeColor;
        }
        if (!values.dynamicMainNodeColors)
            style.fillColor = values.mainNodeStyle.fillColor;
        else if (entry)
            style.fillColor = entry->fillColor;
        break;
    }
    case NodeType::sub:
        if (const auto parent = project.graph.parent(node)) {
            style.borderColor = parent->style.borderColor;
            style.branchColor = parent->style.borderColor;
            style.fillColor = parent->style.fillColor;
        } else if (const auto entry = values.paletteEntry(0)) {
            style.borderColor = entry->strokeColor;
            style.branchColor = entry->strokeColor;
        }
        break;
    }
    return result;
}

} // namespace velquine
