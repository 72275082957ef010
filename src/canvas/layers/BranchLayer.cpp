#include "canvas/layers/BranchLayer.h"

#include <algorithm>

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
    const auto same = [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; };
    const bool unchanged = built_ && built_->layoutType == layoutType && built_->branchType == branchType
        && same(built_->points.parentNodeOrigin, points.parentNodeOrigin)
        && same(built_->points.childNodeOrigin, points.childNodeOrigin)
        && same(built_->points.parentDockPoint, points.parentDockPoint)
        && same(built_->points.childDockPoint, points.childDockPoint);
    if (branchType == LayoutOptions::BranchType::angular)
        setLineJoin(LineJoin::round);
    if (!unchanged) {
        built_ = PathInputs{points, layoutType, branchType};
        setPath(branchPath(points, layoutType, branchType));
    }
    setBackgroundColor(QColor());
    setLineDashPattern(dashPattern(branchStyle));
    setZPosition(branchZPosition(parentNodeOrigin, childNodeOrigin));
}

Rect BranchLayer::dockArea() const
{
    double minX = parentNodeOrigin.x, maxX = minX, minY = parentNodeOrigin.y, maxY = minY;
    for (const Point& p : {childNodeOrigin, parentDockPoint, childDockPoint}) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return Rect(minX, minY, maxX - minX, maxY - minY);
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
