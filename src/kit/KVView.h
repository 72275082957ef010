#pragma once

// The base of the kit's views and what every view can be asked: its backing scale (the contents scale of
// canvas layers), whether its window is dark, pixel-aligned rectangles for drawing, and a snapshot image.
// Views draw in Qt's y-down coordinates; isFlipped only tells layer hosts whether to mirror their layer
// tree (an unflipped view has its origin at the bottom left).

#include <QImage>
#include <QWidget>

#include "platform/Geometry.h"

namespace velquine {

class ScrollView;

class KVView : public QWidget {
    Q_OBJECT
public:
    explicit KVView(QWidget* parent = nullptr);

    virtual bool isFlipped() const { return false; }

    // The device pixel ratio of the view's window (the primary screen's without one, else 1.0), times the
    // magnification of the enclosing scroll view.
    double effectiveBackingScale() const { return effectiveBackingScale(this); }
    static double effectiveBackingScale(const QWidget* widget);
    // True when the view's window draws with a dark palette; false for a view that has no window yet.
    bool isDarkAppearance() const { return isDarkAppearance(this); }
    static bool isDarkAppearance(const QWidget* widget);

    // The rectangle with its edges moved to the nearest whole device pixels.
    Rect centerScanRect(const Rect& rect) const;
    // Places the view at a frame in its parent's coordinates, edges on whole pixels.
    void setFrame(const Rect& frame);
    Rect frame() const { return {double(x()), double(y()), double(width()), double(height())}; }

    // Scrolls the enclosing scroll view as little as needed to show the rectangle, given in the view's
    // coordinates (a layer host's layer coordinates); nothing without a scroll view.
    void scrollRectToVisible(const Rect& rect, double animationDuration = 0);

    // The view drawn into an image of its size, the drawing moved by (dx, dy) first; works for hidden
    // views and leaves them hidden.
    QImage snapshotImage(double dx = 0, double dy = 0);
    static QImage snapshotImage(QWidget* widget, double dx = 0, double dy = 0);
};

// A view with y growing downwards; draws nothing of its own.
class KVFlippedView : public KVView {
    Q_OBJECT
public:
    using KVView::KVView;
    bool isFlipped() const override { return true; }
};

// The navigator's background; a plain view.
class SidebarBackgroundView : public KVView {
    Q_OBJECT
public:
    using KVView::KVView;
};

// A transparent view that draws nothing of its own.
class LeftBorderedView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// The sidebar material: the palette's window colour, slightly shaded.
class KVVisualEffectView : public KVView {
    Q_OBJECT
public:
    explicit KVVisualEffectView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velquine
