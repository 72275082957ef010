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
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

#include "base/FlatHashMap.h"
#include "kit/KVView.h"
#include "platform/layer/LayerBandPainter.h"
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
    // Both at once: the frame size and the bounds of the rectangle. What is on screen keeps its pixels, moved
    // along with the layers when they move by whole pixels in the widget, so that only what comes into view and
    // what the layers report changed is painted again (a scroll view then scrolls the widget back under the
    // part of the canvas it showed). Otherwise the whole widget is painted again.
    void setFrameRect(const Rect& rect);

    // Between widget pixels and layer coordinates.
    Point layerPointFromWidget(QPointF widgetPoint) const;
    QRectF widgetRectFromLayer(const Rect& layerRect) const;
    Rect layerRectFromWidget(const QRectF& widgetRect) const;

    // The options the widget's paints use for a target rectangle (flip, source = bounds).
    LayerRenderOptions renderOptions(const QRectF& target) const;

    // While a few of the root's sublayers change on every frame (a drag), the others ("still" layers) are
    // painted once into two images of the visible area, those below splitDepth and those at or above it; each
    // paint copies them with the live layers of each depth range painted after the first and after the second
    // image. The images are made again when the visible area changes, while animations run and after
    // invalidateBackdrop(), which the caller sends whenever a still layer changes. Live layers listed as
    // rigid as well move together without changing otherwise: they are painted once into an image of their
    // own (of the part that can be seen, when they cover more), drawn after the second still image, until
    // invalidateRigidImage(). An empty list ends it (LayerHostLive.cpp).
    void setLiveSublayers(const std::vector<const Layer*>& layers, const std::vector<const Layer*>& rigid = {},
                          double splitDepth = 0);
    void invalidateBackdrop() { backdropValid_ = false; }
    void invalidateRigidImage()
    {
        rigidValid_ = false;
        rigidExtentValid_ = false;
    }
    // The rigid layers are drawn this far (layer coordinates) from where they stand, so that a large group
    // moves without its layers being moved one by one. Setting it repaints the view.
    void setRigidOffset(Point offset);
    Point rigidOffset() const { return rigidOffset_; }
    bool hasLiveSublayers() const { return !liveSublayers_.empty(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // The layers alone decide what is drawn, and none shows the keyboard focus: gaining or losing it repaints
    // nothing (a title editor opening over a big map takes the focus from the canvas).
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Sets the root layer's bounds without reporting the change: the caller has the widget painted again.
    void setRootBounds(const Rect& bounds);
    // The widget sized to the frame: by the scroll view that shows it, else to the frame's size.
    void sizeToFrame();
    void layerAreaChanged(const Rect& area);
    // Repaints everything, and hears of no change until it has: nothing need work out where it changed.
    void updateWhole();
    // As a frame of animations starts: a scroll that moves the view by more than its size in this frame
    // repaints all of it.
    void frameStarting();
    // The part of the widget its ancestors leave in view (widget coordinates).
    QRect shownRect() const;
    void updateShownArea();
    void paintBackdrop(const QRect& visible);
    void paintLive(QPainter& painter, const std::vector<QRect>& rects, LayerRenderOptions options);
    // The rigid layers' image covering what of them the visible area shows, made again when needed; false
    // when they are painted one by one instead.
    bool prepareRigidImage(const QRect& visible);
    // The rigid offset in widget pixels.
    QPointF rigidShift() const;
    // Where the group is drawn from where its layers stood when its picture was made (the rigid offset and
    // the first rigid layer's move since), in widget pixels.
    QPointF rigidShiftSincePicture() const;
    QTransform layerToWidget() const;

    std::shared_ptr<Layer> root_;
    LayerBandPainter bandPainter_;
    // The still images below and above the split depth, each cut by what its own rows cost.
    LayerBandPainter backdropBands_[2];
    Size frameSize_;
    // Areas reported since the last paint; past a limit the whole view is repainted instead.
    int pendingUpdates_ = 0;
    // What of the layers is in view (layer coordinates, with a little to spare), worked out again on every
    // paint, move and resize: changes elsewhere are not reported (Qt paints what comes into view).
    std::optional<Rect> shownArea_;
    bool wholeUpdatePending_ = false;
    int frameStartKey_ = 0;
    // Looked up for every layer painted; made and dropped at once, for drags of many thousands of layers.
    struct LayerHash {
        std::uint64_t operator()(const Layer* layer) const { return mixBits(reinterpret_cast<std::uintptr_t>(layer)); }
    };
    std::vector<const Layer*> liveList_;
    FlatHashSet<const Layer*, LayerHash> liveSublayers_;
    double splitDepth_ = 0;
    QImage backdropBelow_;
    QImage backdropAbove_;
    QRect backdropRect_;
    // The layer-to-widget transforms the images were made with: a zoom or a new bounds origin redoes them.
    QTransform backdropTransform_;
    QTransform rigidTransform_;
    bool backdropValid_ = false;
    std::vector<const Layer*> rigidSublayers_;
    FlatHashSet<const Layer*, LayerHash> rigidSet_;
    QImage rigidImage_;
    QRect rigidRect_;   // widget coordinates of the layers where they stood when made
    Point rigidOrigin_; // the first rigid layer's frame origin when made
    bool rigidValid_ = false;
    Rect rigidExtent_;
    bool rigidExtentValid_ = false;
    Point rigidOffset_{0, 0};
};

} // namespace velquine
