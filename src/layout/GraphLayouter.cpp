#include "layout/GraphLayouter.h"

#include <algorithm>
#include <utility>

#include "layout/HorizontalGraphLayouter.h"
#include "layout/VerticalGraphLayouter.h"

namespace velquine {

std::vector<NodePlacement> GraphLayouter::placeNodeTree(const Node& top) const
{
    std::vector<NodePlacement> placements;
    for (const Node& node : layoutNodeTree(top))
        placements.push_back({node.uid, node.center});
    return placements;
}

BalancePlacement GraphLayouter::placeBalance(const Node& node) const
{
    BalancePlacement result;
    for (Node& each : balance(node)) {
        result.placements.push_back({each.uid, each.center});
        const auto& listed = node.childrenUIDs;
        if (each.uid != node.uid && std::find(listed.begin(), listed.end(), each.uid) != listed.end())
            result.children.push_back(std::move(each));
    }
    return result;
}

std::unique_ptr<GraphLayouter> makeLayouter(const Graph& graph, const LayoutOptions& options, bool forceLayout,
                                            const SiblingIndex* siblingIndex)
{
    const bool isManual = options.isManual && !forceLayout;
    std::unique_ptr<TreeGraphLayouter> layouter;
    if (options.layoutType == LayoutOptions::LayoutType::vertical) {
        VerticalGraphLayouter::LayoutSubtype subtype = VerticalGraphLayouter::LayoutSubtype::balanced;
        if (options.layoutDirection == LayoutOptions::LayoutDirection::ascending)
            subtype = VerticalGraphLayouter::LayoutSubtype::topDown;
        else if (options.layoutDirection == LayoutOptions::LayoutDirection::descending)
            subtype = VerticalGraphLayouter::LayoutSubtype::bottomUp;
        layouter = std::make_unique<VerticalGraphLayouter>(graph, 10.0, subtype, isManual, 100.0);
    } else {
        HorizontalGraphLayouter::LayoutSubtype subtype = HorizontalGraphLayouter::LayoutSubtype::balanced;
        if (options.layoutDirection == LayoutOptions::LayoutDirection::ascending)
            subtype = HorizontalGraphLayouter::LayoutSubtype::leftToRight;
        else if (options.layoutDirection == LayoutOptions::LayoutDirection::descending)
            subtype = HorizontalGraphLayouter::LayoutSubtype::rightToLeft;
        layouter = std::make_unique<HorizontalGraphLayouter>(graph, 60.0, subtype, isManual, 10.0);
    }
    layouter->siblingIndex = siblingIndex;
    return layouter;
}

Graph placementNeighbourhood(const Graph& graph, const Node& parent, const Node& child)
{
    Graph neighbourhood;
    const auto take = [&](std::int64_t uid) {
        if (const Node* node = graph.findNode(uid))
            neighbourhood.setNode(*node, uid);
    };
    const auto takeWithChildren = [&](const Node& node) {
        take(node.uid);
        for (std::int64_t uid : node.childrenUIDs)
            take(uid);
    };
    if (parent.parentUID)
        take(*parent.parentUID);
    takeWithChildren(parent);
    if (child.parentUID)
        if (const Node* storedParent = graph.findNode(*child.parentUID))
            takeWithChildren(*storedParent);
    return neighbourhood;
}

} // namespace velquine
