#pragma once

// The geometry of a branch line: where it leaves its parent and enters its child (the dock points), the
// line itself for each branch type, and its stacking order. Frames are in canvas coordinates, where a
// larger y lies lower.

#include <QPainterPath>

#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

// What the dock points need to know of one end of a branch.
struct BranchEnd {
    Rect frame;           // the node layer's frame
    Point nodeCenter;     // the centre stored in the layer's node
    NodeShape shape = NodeShape::underline;
    StrokeThickness borderWidth = StrokeThickness::medium;
    NodeType nodeType = NodeType::root;

    // True for an underlined node whose underline is visible.
    bool hasVisibleUnderline() const
    {
        return shape == NodeShape::underline && borderWidth != StrokeThickness::invisible;
    }
};

struct DockPoints {
    Point parentNodeOrigin;
    Point childNodeOrigin;
    Point parentDockPoint;
    Point childDockPoint;
};

// Horizontal layouts: a non-root or underlined parent docks at its side facing the child, a root at its
// centre (hidden behind it); the child docks at its side facing the parent, at mid-height or, with a
// visible underline, at its bottom edge. Angular branches always leave from the parent's facing side.
DockPoints horizontalDockPoints(const BranchEnd& parent, const BranchEnd& child, LayoutOptions::BranchType type);
// Vertical layouts: the child docks at the middle of its edge facing the parent; the parent at its centre,
// at its facing edge when underlined, and at its top or bottom edge for angular branches.
DockPoints verticalDockPoints(const BranchEnd& parent, const BranchEnd& child, LayoutOptions::BranchType type);

// The line from the parent's dock point to the child's. Rounded branches are a cubic curve leaving and
// entering parallel to the layout axis, angular ones an elbow through the middle of the axis with corners
// of radius min(|dx| / 2, |dy| / 2, 4), and lines are straight.
QPainterPath branchPath(const DockPoints& points, LayoutOptions::LayoutType layoutType,
                        LayoutOptions::BranchType branchType);

// -11 raised by the inverse squared distance of the two node centres, so that shorter branches lie above
// longer ones; -11 for coincident centres.
double branchZPosition(Point parentNodeOrigin, Point childNodeOrigin);

// Appends to the path what a tangent arc appends: a line from the current point to where a circle of the
// radius touches the line from the current point to tangent1, then the arc to where it touches the line
// from tangent1 to tangent2. When the three points are collinear, coincide or the radius is not positive,
// a straight line to tangent1 instead.
void addArcToPoint(QPainterPath& path, Point tangent1, Point tangent2, double radius);

} // namespace velquine
