#include "canvas/layers/BranchLayer.h"

#include <algorithm>

#include "canvas/layers/NodeLayer.h"
#include "canvas/layers/StrokeMetrics.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// The rectangle of the four points: the line between them lies in it.
Rect areaOf(const DockPoints& p)
{
    double minX = p.parentNodeOrigin.x, maxX = minX, minY = p.parentNodeOrigin.y, maxY = minY;
    for (const Point& q : {p.childNodeOrigin, p.parentDockPoint, p.childDockPoint}) {
        minX = std::min(minX, q.x);
        maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y);
        maxY = std::max(maxY, q.y);
    }
    return Rect(minX, minY, maxX - minX, maxY - minY);
}

} // namespace

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
    if (branchType == LayoutOptions::BranchType::angular)
        setLineJoin(LineJoin::round);
    if (!pathDeferred_)
        buildPath();
    setBackgroundColor(QColor());
    setLineDashPattern(dashPattern(branchStyle));
    setZPosition(branchZPosition(parentNodeOrigin, childNodeOrigin));
}

void BranchLayer::buildPath()
{
    const DockPoints points{parentNodeOrigin, childNodeOrigin, parentDockPoint, childDockPoint};
    const auto same = [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; };
    const bool unchanged = built_ && built_->layoutType == layoutType && built_->branchType == branchType
        && same(built_->points.parentNodeOrigin, points.parentNodeOrigin)
        && same(built_->points.childNodeOrigin, points.childNodeOrigin)
        && same(built_->points.parentDockPoint, points.parentDockPoint)
        && same(built_->points.childDockPoint, points.childDockPoint);
    if (unchanged)
        return;
    built_ = PathInputs{points, layoutType, branchType};
    setPath(branchPath(points, layoutType, branchType));
}

void BranchLayer::setPathDeferred(bool deferred)
{
    if (deferred == pathDeferred_)
        return;
    pathDeferred_ = deferred;
    if (!deferred && isConfigured()) {
        Transaction transaction(true);
        buildPath();
    }
}

Rect BranchLayer::builtArea() const { return built_ ? areaOf(built_->points) : Rect::null(); }

const QPainterPath& BranchLayer::path()
{
    if (pathDeferred_ && isConfigured()) {
        // Reading the path is no change of the branch as it is shown: it is the one the inputs ask for.
        Transaction transaction(true);
        buildPath();
    }
    return ShapeLayer::path();
}

Rect BranchLayer::dockArea() const
{
    return areaOf(DockPoints{parentNodeOrigin, childNodeOrigin, parentDockPoint, childDockPoint});
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
