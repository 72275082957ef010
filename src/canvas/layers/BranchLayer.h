#pragma once

// The branch line from a parent node to one of its children. The layer covers the whole canvas, so its
// coordinates are the canvas's; it computes only its own path, dash pattern and stacking order from the
// fields the canvas sets.

#include <cstdint>
#include <optional>
#include <string>

#include "canvas/layers/BranchGeometry.h"
#include "model/graph/LayoutOptions.h"
#include "model/style/StrokeStyle.h"
#include "platform/layer/ShapeLayer.h"

namespace velquine {

class NodeLayer;

class BranchLayer : public ShapeLayer {
public:
    static constexpr double zPositionBranch = -11;

    BranchLayer();

    std::int64_t parentNodeUID = 0;
    std::int64_t childNodeUID = 0;
    Point parentNodeOrigin;
    Point childNodeOrigin;
    Point parentDockPoint;
    Point childDockPoint;
    LayoutOptions::LayoutType layoutType = LayoutOptions::LayoutType::horizontal;
    LayoutOptions::BranchType branchType = LayoutOptions::BranchType::rounded;
    StrokeStyle branchStyle = StrokeStyle::solid;
    bool isFaded = false;
    // Bookkeeping of the canvas that holds the layer: its place, counted from 1, in the canvas's list of
    // branches that wait to be docked; 0 when it is docked to its ends as they are.
    std::size_t unsettledSlot = 0;

    // Both identifiers 0: the layer is not configured yet and updatePath() leaves it alone.
    bool isConfigured() const { return parentNodeUID != 0 || childNodeUID != 0; }

    // Rebuilds the path from the dock points, the dash pattern from branchStyle and the z position from
    // the two node centres; the path is built again only when its inputs changed.
    void updatePath();
    // The rectangle of the four dock points: the line lies in it.
    Rect dockArea() const;

    // While set, updatePath() notes that the path is out of date instead of building it: a canvas has no need
    // of the lines nobody sees. Clearing it builds the path now, without animation.
    bool isPathDeferred() const { return pathDeferred_; }
    void setPathDeferred(bool deferred);
    // The rectangle of the dock points the current path was built from (null before the first).
    Rect builtArea() const;
    // The path, built first when it waits.
    const QPainterPath& path();

    // Sets the origins and dock points from the two node layers (their frames, node copies and node types).
    void horizontalDockPoints(const NodeLayer& parent, const NodeLayer& child, LayoutOptions::BranchType type);
    void verticalDockPoints(const NodeLayer& parent, const NodeLayer& child, LayoutOptions::BranchType type);
    // The same from dock points worked out elsewhere (velquine::horizontalDockPoints of ends as drawn).
    void setDockPoints(const DockPoints& points);

    // A path change morphs from the old path with the timing of the surrounding transaction.
    std::optional<LayerAction> actionForKey(const std::string& key) const override;

private:
    // Builds the path from the current inputs when they differ from those of the last one built.
    void buildPath();

    // The inputs of the last path built.
    struct PathInputs {
        DockPoints points;
        LayoutOptions::LayoutType layoutType;
        LayoutOptions::BranchType branchType;
    };
    std::optional<PathInputs> built_;
    bool pathDeferred_ = false;
};

// What the dock points need of a node layer.
BranchEnd branchEnd(const NodeLayer& layer);

} // namespace velquine
