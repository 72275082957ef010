#pragma once

// A view that shows a layer tree: its root layer covers the view's bounds (layer coordinates), and every
// paint goes through LayerRenderer onto the widget, only for the exposed area. Layers report their changed
// areas, and only those are repainted. Inside a ScrollView the widget is frameSize × magnification pixels and
// layers keep their coordinates; an unflipped subclass (isFlipped false) shows the tree mirrored top to
// bottom, text and images upright.
//
//   auto* host = new LayerHostWidget;
//   host->setFrameSize({2000, 1500});      // bounds (0, 0, 2000, 1500)
//   host->layer()->addSublayer(node);      // node in bounds coordinates
//   scrollView->setDocumentView(host);

#include <QRectF>

#include <QImage>
#include <QRect>

#include <memory>
#include <unordered_set>
#include <vector>

#include "kit/KVView.h"
#include "platform/layer/LayerRenderer.h"

namespace velquine {

class Layer;

class LayerHostWidget : public KVView {
    Q_OBJECT
public:
    explicit LayerHostWidget(QWidget* parent = nullptr);
    ~LayerHostWidget() override;

    // The view's own layer: its bounds are the view's bounds.
    const std::shared_ptr<Layer>& layer() const { return root_; }
    bool isFlipped() const override { return true; }

    // The size in points (the widget is that size × the enclosing scroll view's magnification). Setting it
    // also sets the bounds size.
    Size frameSize() const { return frameSize_; }
    void setFrameSize(Size size);
    Rect boundsRect() const;
    void setBoundsRect(const Rect& bounds);

    // Between widget pixels and layer coordinates.
    Point layerPointFromWidget(QPointF widgetPoint) const;
    QRectF widgetRectFromLayer(const Rect& layerRect) const;
    Rect layerRectFromWidget(const QRectF& widgetRect) const;

    // The options the widget's paints use for a target rectangle (flip, source = bounds).
    LayerRenderOptions renderOptions(const QRectF& target) const;

    // While a few of the root's sublayers change on every frame (a drag), the others are painted once into an
    // image of the visible area, which each paint copies before painting the live layers over it. The image
    // is made again when the visible area changes, while animations run and after invalidateBackdrop(),
    // which the caller sends whenever a layer that is not live changes. An empty list ends it.
    void setLiveSublayers(const std::vector<const Layer*>& layers);
    void invalidateBackdrop() { backdropValid_ = false; }
    bool hasLiveSublayers() const { return !liveSublayers_.empty(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layerAreaChanged(const Rect& area);
    void paintBackdrop(const QRect& visible);
    QTransform layerToWidget() const;

    std::shared_ptr<Layer> root_;
    Size frameSize_;
    // Areas reported since the last paint; past a limit the whole view is repainted instead.
    int pendingUpdates_ = 0;
    bool wholeUpdatePending_ = false;
    std::unordered_set<const Layer*> liveSublayers_;
    QImage backdrop_;
    QRect backdropRect_;
    bool backdropValid_ = false;
};

} // namespace velquine
