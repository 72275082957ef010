#pragma once

// A scroll view that shows its document view magnified. The document has a size in points (a layer host's
// frame size); it is shown at that size × magnification, and document points map to the document widget's
// pixels by that factor, from the document's bounds origin. Magnification stays within
// [minMagnification, maxMagnification] (0.25…4.0 by default) on every set, so it is never zero, negative or
// not finite. Along an axis where the magnified document is smaller than the visible area, it stands in the
// middle of it and does not scroll.

#include <QScrollArea>

#include <optional>

#include "platform/Geometry.h"

class QVariantAnimation;

namespace velquine {

class ScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit ScrollView(QWidget* parent = nullptr);
    ~ScrollView() override;

    static constexpr double defaultMinMagnification = 0.25;
    static constexpr double defaultMaxMagnification = 4.0;

    // The scroll view whose document view is the widget or one of its ancestors; null when none.
    static ScrollView* enclosingScrollView(const QWidget* widget);

    // Takes ownership. A LayerHostWidget brings its frame size; another widget its current size.
    void setDocumentView(QWidget* view);
    QWidget* documentView() const { return widget(); }
    // The document's size in points, and the origin of its coordinates at its top-left corner.
    Size documentSize() const;
    Point documentBoundsOrigin() const;
    // Sizes the document widget again after its size in points changed.
    void documentSizeChanged();
    // Shows or hides now the scroll bars the document's size asks for. Qt does so on a later turn of the event
    // loop, and until then the visible part keeps its old size.
    void settleScrollBars();

    double magnification() const { return magnification_; }
    // Clamped to the range; a value that is not finite changes nothing. Keeps the centre of the visible area.
    void setMagnification(double magnification);
    // The same keeping the document point where it is on screen.
    void setMagnification(double magnification, Point centeredAt);
    double minMagnification() const { return minMagnification_; }
    double maxMagnification() const { return maxMagnification_; }
    // Both must be finite and positive, min ≤ max; the magnification is clamped again.
    void setMagnificationRange(double minimum, double maximum);

    // The colour shown around a document smaller than the visible area (the palette's otherwise).
    void setBackgroundColor(const QColor& colour);

    // The part of the document that is visible, in document coordinates.
    Rect documentVisibleRect() const;
    // The part that is visible once the animated scroll under way ends; the visible part when none runs.
    Rect targetVisibleRect() const;
    // Whether that part holds the rectangle (document coordinates) to a pixel: scroll offsets are whole pixels.
    bool holds(const Rect& rect) const;
    // The same rule for any visible part, seen at the magnification: what the view counts as shown whole.
    static bool holds(const Rect& visible, const Rect& rect, double magnification);
    // The pixels of room the view leaves between what it brings into view and its edges.
    static constexpr double revealMargin = 12;
    // What the view shows of a rectangle it brings into view: the rectangle with the points drawn beyond it
    // (reach) and that room beside them at the magnification, along each axis as far as a visible part of the
    // size holds them (a rectangle as large as the view gets nothing around it).
    static Rect withRevealMargin(const Rect& rect, double reach, Size visible, double magnification);
    // The size of the visible part, in points, when no scroll bar takes room from it.
    Size largestVisibleSize() const;
    // Scrolls so that the document point is at the top-left corner of the visible area. An animated scroll
    // under way goes on (its course is in document coordinates).
    void scrollToPoint(Point documentPoint);
    // Scrolls as little as needed to show the rectangle (document coordinates); a rectangle larger than the
    // visible area aligns its far edges. While an animated scroll runs, the distance is measured from where
    // it ends, and a rectangle it will show leaves it running. A duration above 0 animates the scroll, once the
    // window is on screen: before, the view goes there at once, and keeps the centre it shows through the resizes
    // of the window's first layout.
    void scrollRectToVisible(const Rect& rect, double animationDuration = 0);
    // Scrolls so that the point is in the middle of the visible area.
    void centerOn(Point documentPoint, double animationDuration = 0);
    // Whether an animated scroll is under way.
    bool isAnimatingScroll() const;
    // How far the animated scroll under way moves the visible part in the given seconds from its last step
    // (document coordinates, each axis); nothing when none runs.
    Size animatedScrollAhead(double seconds) const;

    // Document pixels from document points and back (viewport coordinates).
    QPointF viewportPointFromDocument(Point documentPoint) const;
    Point documentPointFromViewport(QPointF viewportPoint) const;

signals:
    // The visible part of the document changed: scrolled, magnified or resized.
    void boundsChanged();
    void magnificationChanged(double magnification);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutDocument();
    // Whether its window is on screen (exposed).
    bool onScreen() const;

    double magnification_ = 1.0;
    double minMagnification_ = defaultMinMagnification;
    double maxMagnification_ = defaultMaxMagnification;
    Size plainDocumentSize_;
    QVariantAnimation* scrollAnimation_ = nullptr;
    // The centre of the visible part as last scrolled to while the window was not on screen.
    std::optional<Point> unshownCentre_;
};

} // namespace velquine
