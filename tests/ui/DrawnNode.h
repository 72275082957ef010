#pragma once

// A node as the canvas draws it while selected, in canvas points: its layer with the focus ring, the resize
// handles and the hover button's stub when they show (the button itself, which follows the pointer, left out).

#include "canvas/GraphView.h"
#include "canvas/layers/HoverButtonLayer.h"
#include "canvas/layers/NodeLayer.h"

namespace velquine::test {

inline Rect drawnNode(GraphView* canvas, std::int64_t uid)
{
    NodeLayer* layer = canvas->nodeLayer(uid);
    if (!layer)
        return Rect::null();
    Rect drawn = layer->frame();
    const auto add = [&drawn](const Layer& piece) {
        if (piece.isHidden() || !piece.superlayer())
            return;
        drawn = drawn.unionWith(piece.superlayer()->convertRectToLayer(piece.visualBounds(), nullptr));
    };
    if (layer->isFocusRingShown())
        add(layer->focusRingLayer());
    if (layer->areHandlesShown())
        add(layer->handleLayer());
    if (layer->isHoverButtonShown())
        add(*layer->hoverButtonLayer().connectionLayer());
    return drawn;
}

} // namespace velquine::test
