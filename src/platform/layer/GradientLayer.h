#pragma once

// A layer filled with a linear gradient over its bounds: the colours spread evenly (or at the given
// locations) from startPoint to endPoint, both unit points of the bounds.

#include <QColor>

#include <vector>

#include "platform/layer/Layer.h"

namespace velquine {

class GradientLayer : public Layer {
public:
    GradientLayer() = default;

    const std::vector<QColor>& colors() const { return colors_; }
    void setColors(std::vector<QColor> colors) { setField(colors_, colors, ChangeKind::appearance); }
    // Empty: evenly spread.
    const std::vector<double>& locations() const { return locations_; }
    void setLocations(std::vector<double> locations) { setField(locations_, locations, ChangeKind::appearance); }
    Point startPoint() const { return startPoint_; }
    void setStartPoint(Point point) { setField(startPoint_, point, ChangeKind::appearance); }
    Point endPoint() const { return endPoint_; }
    void setEndPoint(Point point) { setField(endPoint_, point, ChangeKind::appearance); }

    void draw(QPainter& painter) const override;

private:
    std::vector<QColor> colors_;
    std::vector<double> locations_;
    Point startPoint_{0.5, 0};
    Point endPoint_{0.5, 1};
};

} // namespace velquine
