#pragma once

// The background grid of the canvas: a layer inside the background layer that draws the grid pattern in a
// colour derived from the document's background colour, only where the canvas is visible. It never animates
// and redraws only when the colour, the grid type or a spacing changes, where its size changes, or when the
// canvas scrolls (the canvas asks for the last two).

#include <optional>

#include <QPointer>

#include "model/graph/Grid.h"
#include "platform/Color.h"
#include "platform/layer/Layer.h"

namespace velquine {

class GraphView;

class GridLayer : public Layer {
public:
    GridLayer();

    // The canvas: gives the visible rectangle and the coordinate origin.
    QPointer<GraphView> parentView;

    const Grid& grid() const { return grid_; }
    // Stores the grid; a change of type or spacing redraws.
    void setGrid(const Grid& grid);
    const std::optional<Color>& documentBackgroundColor() const { return documentBackgroundColor_; }
    // Stores the colour; redraws unless old and new are equal.
    void setDocumentBackgroundColor(const std::optional<Color>& color);

    void layoutSublayers() override;
    std::optional<LayerAction> actionForKey(const std::string& key) const override;
    void draw(QPainter& painter) const override;

private:
    Grid grid_;
    std::optional<Color> documentBackgroundColor_;
};

} // namespace velquine
