#pragma once

// The four square resize handles at the corners of a selected node. The layer's frame is its node layer's
// bounds; handle(at:) answers which handle lies under a point of the canvas.

#include <array>
#include <memory>

#include "canvas/layers/NodeGeometry.h"
#include "platform/layer/Layer.h"

namespace velquine {

class NodeHandleLayer : public Layer {
public:
    using Handle = NodeHandle;

    NodeHandleLayer();

    const std::shared_ptr<Layer>& topLeftHandleLayer() const { return squares_[0]; }
    const std::shared_ptr<Layer>& bottomLeftHandleLayer() const { return squares_[1]; }
    const std::shared_ptr<Layer>& bottomRightHandleLayer() const { return squares_[2]; }
    const std::shared_ptr<Layer>& topRightHandleLayer() const { return squares_[3]; }
    Size handleSize() const { return handleSize_; }

    // The handle rectangles in the layer's own coordinates: top-left, bottom-left, bottom-right, top-right.
    std::array<Rect, 4> layoutHandles() const;
    // The first handle, in the order top-left, bottom-left, bottom-right, top-right, whose rectangle moved by
    // the node layer's frame origin contains the point (canvas coordinates); none without a node layer.
    Handle handle(Point canvasPoint) const;

    void layoutSublayers() override;
    void setContentsScale(double scale) override;

private:
    static void configureHandle(Layer& square, const QColor& color, Size size);

    std::array<std::shared_ptr<Layer>, 4> squares_;
    Size handleSize_{8, 8};
};

} // namespace velquine
