#pragma once

// A canvas drawn with y growing upwards (the origin at the bottom left), for drawing sample maps off screen;
// text and images stay upright. Everything else is GraphView's.

#include "canvas/GraphView.h"

namespace velquine {

class UnflippedGraphView : public GraphView {
    Q_OBJECT

public:
    using GraphView::GraphView;
    bool isFlipped() const override { return false; }
};

} // namespace velquine
