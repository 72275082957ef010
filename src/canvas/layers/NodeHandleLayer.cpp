#include "canvas/layers/NodeHandleLayer.h"

#include "platform/layer/Transaction.h"

namespace velquine {

NodeHandleLayer::NodeHandleLayer()
{
    setName("handles");
    setMasksToBounds(false);
    setOpaque(false);
    for (std::shared_ptr<Layer>& square : squares_) {
        square = std::make_shared<Layer>();
        configureHandle(*square, Qt::white, handleSize_);
        addSublayer(square);
    }
}

void NodeHandleLayer::configureHandle(Layer& square, const QColor& color, Size size)
{
    square.setAnchorPoint({0, 0});
    square.setFrame(Rect({0, 0}, size));
    square.setMasksToBounds(true);
    square.setOpaque(true);
    square.setBackgroundColor(color);
    square.setBorderWidth(1.0);
    square.setBorderColor(Qt::black);
}

std::array<Rect, 4> NodeHandleLayer::layoutHandles() const { return handleRects(bounds(), handleSize_); }

NodeHandle NodeHandleLayer::handle(Point canvasPoint) const
{
    const Layer* node = superlayer();
    if (!node)
        return Handle::none;
    const Point origin = node->frame().origin;
    static constexpr std::array<Handle, 4> order{Handle::topLeft, Handle::bottomLeft, Handle::bottomRight,
                                                 Handle::topRight};
    const std::array<Rect, 4> rects = layoutHandles();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].offsetBy(origin.x, origin.y).contains(canvasPoint))
            return order[i];
    }
    return Handle::none;
}

void NodeHandleLayer::layoutSublayers()
{
    Transaction transaction(true);
    const std::array<Rect, 4> rects = layoutHandles();
    for (std::size_t i = 0; i < rects.size(); ++i)
        squares_[i]->setFrame(rects[i]);
}

void NodeHandleLayer::setContentsScale(double scale)
{
    Layer::setContentsScale(scale);
    for (const std::shared_ptr<Layer>& square : squares_)
        square->setContentsScale(scale);
}

} // namespace velquine
