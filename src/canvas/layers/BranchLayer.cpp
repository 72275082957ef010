#include "canvas/layers/BranchLayer.h"

#include "canvas/layers/NodeLayer.h"
#include "canvas/layers/StrokeMetrics.h"

namespace velquine {

BranchLayer::BranchLayer()
{
    setName("branch");
    setAnchorPoint({0.5, 0.5});
    setAutoresizingMask(layerNotSizable);
    setMasksToBounds(false);
    setOpaque(false);
    setZPosition(zPositionBranch);
    setFillColor(QColor());
    if (!strokeColor().isValid())
        setStrokeColor(Qt::black);
}

void BranchLayer::updatePath()
{
    if (!isConfigured())
        return;
    DockPoints points{parentNodeOrigin, childNodeOrigin, parentDockPoint, childDockPoint};
    if (branchType == LayoutOptions::BranchType::angular)
        setLineJoin(LineJoin::round);
    setPath(branchPath(points, layoutType, branchType));
    setBackgroundColor(QColor());
    setLineDashPattern(dashPattern(branchStyle));
    setZPosition(branchZPosition(parentNodeOrigin, childNodeOrigin));
}

void BranchLayer::setDockPoints(const DockPoints& points)
{
    parentNodeOrigin = points.parentNodeOrigin;
    childNodeOrigin = points.childNodeOrigin;
    parentDockPoint = points.parentDockPoint;
    childDockPoint = points.childDockPoint;
}

void BranchLayer::horizontalDockPoints(const NodeLayer& parent, const NodeLayer& child,
                                       LayoutOptions::BranchType type)
{
    setDockPoints(velquine::horizontalDockPoints(branchEnd(parent), branchEnd(child), type));
}

void BranchLayer::verticalDockPoints(const NodeLayer& parent, const NodeLayer& child,
                                     LayoutOptions::BranchType type)
{
    setDockPoints(velquine::verticalDockPoints(branchEnd(parent), branchEnd(child), type));
}

std::optional<LayerAction> BranchLayer::actionForKey(const std::string& key) const
{
    if (animationsDisabled())
        return std::nullopt;
    if (key == "path") {
        if (std::optional<LayerAction> timing = defaultActionForKey("backgroundColor"))
            return timing;
    }
    return defaultActionForKey(key);
}

BranchEnd branchEnd(const NodeLayer& layer)
{
    const Node& node = layer.node();
    return BranchEnd{layer.frame(), node.center, node.shape, node.style.borderWidth, layer.nodeType()};
}

} // namespace velquine
