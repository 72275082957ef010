#pragma once

// The pointer's short gestures: resizing a selected node by a corner handle, the rubber band, and panning with
// the right mouse button. The pointer starts each on a press (PointerInteraction).

#include <functional>
#include <memory>
#include <optional>

#include "canvas/CanvasGesture.h"
#include "canvas/layers/NodeGeometry.h"
#include "model/graph/Node.h"

namespace velquine {

class CanvasSync;
class GraphView;
class Layer;
class NodeLayer;

// A resize: a copy of the node whose centre and size follow the grabbed corner; the release hands it to the
// delegate.
class ResizeGesture : public CanvasGesture {
public:
    ResizeGesture(GraphView& view, CanvasSync& sync);

    // The first selected layer with a handle under the point, and the handle; null without one.
    std::pair<NodeLayer*, NodeHandle> handleAt(Point point);

    void press(const GestureInput& input) override;
    void move(const GestureInput& input) override;
    void release(const GestureInput& input) override;
    void cancel() override { resized_.reset(); }

private:
    // The grabbed corner moves by delta, never closer to the opposite corner than the title needs.
    void resizeStep(Point delta);

    GraphView& view_;
    CanvasSync& sync_;
    // The node as the resize has made it, stored with the sides of its parent it lies on.
    std::optional<Node> resized_;
    NodeHandle grabbedHandle_ = NodeHandle::none;
};

// The rubber band: the nodes it touches are selected as it is dragged, and made the document's selection on
// release.
class RubberBandGesture : public CanvasGesture {
public:
    RubberBandGesture(GraphView& view, CanvasSync& sync);

    // The rectangle shown while the band is dragged, above the nodes.
    void setUpSelectionLayer();
    Layer& selectionLayer() { return *selectionLayer_; }

    void press(const GestureInput& input) override;
    void move(const GestureInput& input) override;
    void release(const GestureInput& input) override;
    void cancel() override;

private:
    // Shows or hides the band's rectangle at selectionRect_.
    void applySelectionRect(bool shown);

    GraphView& view_;
    CanvasSync& sync_;
    // Origin at the press, size = current point − origin (may be negative).
    Rect selectionRect_;
    std::shared_ptr<Layer> selectionLayer_;
};

// Panning with the right mouse button; a release that panned nothing is a right click.
class PanGesture : public CanvasGesture {
public:
    PanGesture(GraphView& view, std::function<void(Point)> rightClick);

    void press(const GestureInput& input) override;
    void move(const GestureInput& input) override;
    void release(const GestureInput& input) override;
    void cancel() override;

private:
    GraphView& view_;
    std::function<void(Point)> rightClick_;
    bool panned_ = false;
};

} // namespace velquine
