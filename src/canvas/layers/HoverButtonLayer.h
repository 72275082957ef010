#pragma once

// The "+" button beside a hovered node: a plus-in-a-circle symbol tinted with the node's border colour and
// a short stub on the side that faces the node. The node layer places the 32 × 32 button and picks its side.

#include <memory>

#include "canvas/layers/NodeGeometry.h"
#include "platform/Color.h"
#include "platform/layer/GradientLayer.h"

namespace velquine {

class HoverButtonLayer : public Layer {
public:
    HoverButtonLayer();

    // A rounded 21 × 21 gradient configured as the button's background; kept out of the tree, so not drawn.
    const std::shared_ptr<GradientLayer>& fillLayer() const { return fillLayer_; }
    const std::shared_ptr<Layer>& plusLayer() const { return plusLayer_; }
    const std::shared_ptr<Layer>& connectionLayer() const { return connectionLayer_; }

    // The symbol's tint and the stub's colour (the node's border colour); black at first.
    const Color& tintColor() const { return tintColor_; }
    void setTintColor(const Color& color) { tintColor_ = color; }
    // The colour of the plus inside the circle (the canvas background); white at first.
    const Color& documentColor() const { return documentColor_; }
    void setDocumentColor(const Color& color) { documentColor_ = color; }
    void setWhereToDrawConnectionLayer(DockPointLocation side);
    // The pointer is on the button: the symbol is drawn at full strength instead of 0.8 alpha.
    bool isActive() const { return isActive_; }
    void setActive(bool active) { isActive_ = active; }

    // Redraws the symbol from the tint, the document colour, the active state and the contents scale, and
    // colours the stub. Runs after any of the first three changed.
    void updatePlusImage();
    // The stub: 6 × 4 anchored at its left middle beside a left or right button, 4 × 7 anchored at its top
    // middle above or below the node.
    void updateConnectionLayerGeometry();

    void layoutSublayers() override;
    void setContentsScale(double scale) override;

    // The picture drawn when the "plus.circle.fill" symbol is missing: a filled circle in the tint with a
    // plus in the document colour, size × size pixels.
    static QImage plusSymbolImage(int size, const QColor& tint, const QColor& document);

private:
    std::shared_ptr<GradientLayer> fillLayer_;
    std::shared_ptr<Layer> plusLayer_;
    std::shared_ptr<Layer> connectionLayer_;
    Color tintColor_ = Color::black();
    Color documentColor_ = Color::white();
    DockPointLocation side_ = DockPointLocation::left;
    bool isActive_ = false;
};

} // namespace velquine
