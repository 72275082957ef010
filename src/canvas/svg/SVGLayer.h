#pragma once

// A layer that shows SVG paths: one shape sublayer per path, styled from the path's SVG attributes (or the
// layer's override colours) and fitted into the layer's bounds by its contents gravity.

#include <QColor>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/svg/SVGBezierPath.h"
#include "platform/layer/ShapeLayer.h"

namespace velquine {

class SVGLayer : public Layer {
public:
    SVGLayer();
    // The paths of an SVG file (see SVGBezierPath::pathsFromSVGAtURL); throws what reading throws.
    explicit SVGLayer(const std::string& location);

    const std::vector<SVGBezierPath>& paths() const { return paths_; }
    // Keeps the paths and makes one shape layer for each shown one (a path whose "display" is "none" is
    // left out), its "transform" applied, its line width and "opacity" taken over.
    void setPaths(std::vector<SVGBezierPath> paths);

    // Colours that replace every path's own fill or stroke; none lets the paths' attributes decide.
    const std::optional<QColor>& fillColor() const { return fillColor_; }
    void setFillColor(const std::optional<QColor>& color);
    const std::optional<QColor>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(const std::optional<QColor>& color);
    // Scales line widths with the paths when they are fitted into the bounds.
    bool scaleLineWidth() const { return scaleLineWidth_; }
    void setScaleLineWidth(bool scale);

    // The viewBox of the first path; the zero rectangle without paths.
    Rect viewBox() const;
    // The size of the shown paths together with the origin.
    Size preferredFrameSize() const;

    // The shown paths (transformed) and their shape layers, in the same order.
    const std::vector<SVGBezierPath>& untouchedPaths() const { return untouchedPaths_; }
    const std::vector<std::shared_ptr<ShapeLayer>>& shapeLayers() const { return shapeLayers_; }

    void layoutSublayers() override;

private:
    void styleShapeLayer(ShapeLayer& layer, const SVGBezierPath& path, double lineScale) const;

    std::vector<SVGBezierPath> untouchedPaths_;
    std::vector<std::shared_ptr<ShapeLayer>> shapeLayers_;
    bool scaleLineWidth_ = false;
    std::vector<SVGBezierPath> paths_;
    std::optional<QColor> fillColor_;
    std::optional<QColor> strokeColor_;
};

} // namespace velquine
