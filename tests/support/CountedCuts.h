#pragma once

// A line that counts how often it works out the pieces of an area it covers: what reporting where it moved
// costs a frame.
#include <memory>
#include <optional>
#include <vector>

#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"

struct CutCountingLine : velquine::ShapeLayer {
    mutable int cuts = 0;
    std::optional<std::vector<velquine::Rect>> drawingPieces(const velquine::Rect& area) const override
    {
        ++cuts;
        return ShapeLayer::drawingPieces(area);
    }
};

// A plain stroke of the path in the colour and width, added to the layer without animation.
inline std::shared_ptr<CutCountingLine> addCutCountingLine(velquine::Layer& to, const velquine::Rect& frame,
                                                           const QColor& color, double width, const QPainterPath& path)
{
    velquine::Transaction noActions(true);
    auto line = std::make_shared<CutCountingLine>();
    line->setFrame(frame);
    line->setFillColor(QColor());
    line->setStrokeColor(color);
    line->setLineWidth(width);
    line->setPath(path);
    to.addSublayer(line);
    return line;
}

// The pieces the lines worked out since the last call; counting starts again.
template <class Lines>
int takeCuts(const Lines& lines)
{
    int cuts = 0;
    for (const auto& line : lines) {
        cuts += line->cuts;
        line->cuts = 0;
    }
    return cuts;
}
