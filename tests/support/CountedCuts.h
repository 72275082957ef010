#pragma once

// A line that counts how often it works out the pieces of an area it covers: what reporting where it moved
// costs a frame.
#include <optional>
#include <vector>

#include "platform/layer/ShapeLayer.h"

struct CutCountingLine : velquine::ShapeLayer {
    mutable int cuts = 0;
    std::optional<std::vector<velquine::Rect>> drawingPieces(const velquine::Rect& area) const override
    {
        ++cuts;
        return ShapeLayer::drawingPieces(area);
    }
};

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
