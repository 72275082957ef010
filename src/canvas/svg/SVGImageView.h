#pragma once

// A widget that shows SVG paths through its own SVGLayer, which fills the widget and fits the paths into
// it. Paths come from a resource by name ("cloud" reads ":/cloud.svg"), from a file, or directly.

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/svg/SVGLayer.h"

namespace velquine {

class SVGImageView : public QWidget {
public:
    explicit SVGImageView(QWidget* parent = nullptr);
    // The paths of an SVG file; throws what reading throws.
    explicit SVGImageView(const std::string& location, QWidget* parent = nullptr);

    SVGLayer& svgLayer() { return *svgLayer_; }
    // Drawn with y growing downwards, as the paths are written.
    bool isFlipped() const { return true; }

    const QString& svgName() const { return svgName_; }
    // Loads the resource "name.svg"; an empty name takes the first SVG resource. Throws SVGError
    // ("Invalid parameter not satisfying: url") when there is no such resource.
    void setSvgName(const QString& name);

    const std::vector<SVGBezierPath>& paths() const { return svgLayer_->paths(); }
    void setPaths(std::vector<SVGBezierPath> paths);
    Rect viewBox() const { return svgLayer_->viewBox(); }
    std::optional<QColor> fillColor() const { return svgLayer_->fillColor(); }
    void setFillColor(const std::optional<QColor>& color);
    std::optional<QColor> strokeColor() const { return svgLayer_->strokeColor(); }
    void setStrokeColor(const std::optional<QColor>& color);
    // Kept with the view and handed to its layer.
    bool scaleLineWidth() const { return scaleLineWidth_; }
    void setScaleLineWidth(bool scale);

    // The size of the shown paths, whatever size is offered.
    QSize sizeThatFits(QSize offered) const;
    QSize sizeHint() const override;
    // Takes the size of the shown paths.
    void sizeToFit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadSVG(const std::string& location);

    std::shared_ptr<SVGLayer> svgLayer_;
    QString svgName_;
    bool scaleLineWidth_ = false;
};

} // namespace velquine
