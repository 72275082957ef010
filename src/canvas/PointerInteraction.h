#pragma once

// The canvas's pointer and selection: clicks select (Shift or Ctrl adds or removes), a press on empty canvas
// starts the rubber band, a press on a node starts a drag, on a handle a resize and on the "+" button a
// hover-button drag; hovering shows the "+" buttons; a right drag pans and a right click pops a menu up.
// PointerInteraction.cpp has the gestures, PointerInput.cpp the mouse events and menus, PointerSelection.cpp
// the rubber band and the selection's appearance.

#include <QPointer>

#include "canvas/GraphView.h"

namespace velquine {

class PointerInteraction {
public:
    explicit PointerInteraction(GraphView& view);
    ~PointerInteraction();
    PointerInteraction(const PointerInteraction&) = delete;
    PointerInteraction& operator=(const PointerInteraction&) = delete;

    // ---- Events the view hands over ----

    void mousePressEvent(QMouseEvent* event);
    void mouseDoubleClickEvent(QMouseEvent* event);
    void mouseMoveEvent(QMouseEvent* event);
    void mouseReleaseEvent(QMouseEvent* event);
    void contextMenuEvent(QContextMenuEvent* event);
    // Whether the wheel zoomed (with Alt held); it is accepted then.
    bool zoomWithWheel(QWheelEvent* event);

    // ---- Selection and rubber band (PointerSelection.cpp) ----

    void setUpSelectionLayer();
    Layer& selectionLayer() const { return *selectionLayer_; }
    // Points in view coordinates (the canvas's, that is).
    void beginRubberBandSelection(Point point);
    void updateRubberBandSelection(Point point);
    void endRubberBandSelection(Point point);
    void applySelectionRect();
    // Pushes a selection into the view and its node layers without animation.
    void updateSelectionAppearance(const std::vector<Node>& nodes);
    // Asks the delegate to make the nodes the document's selection; nothing without one.
    void askForSelection(const std::vector<Node>& nodes);

    // ---- Clicks and menus (PointerInput.cpp) ----

    void leftMouseDown(Point point, Qt::KeyboardModifiers modifiers);
    void leftMouseUp(Point point);
    std::vector<NodeLayer*> nodeLayersAt(Point point) const;
    // A right click that ended no pan: the node under the pointer is selected and its menu pops up.
    void rightClick(Point point);
    // Pops the node or the document menu up at the view point (canvas coordinates); the menu that was shown.
    QMenu* popUpContextMenu(Point point);

    // ---- Resizing, hovering, the hover-button drag and panning (PointerInteraction.cpp) ----

    void leftMouseDragged(Point point, Point delta, Qt::KeyboardModifiers modifiers);
    void mouseMoved(Point point);
    void rightMouseDown(Point point);
    void rightMouseDragged(Point delta);
    // Whether the right mouse-up ends a pan (no context menu then).
    bool rightMouseUp(Point point);
    // The pointer's move since the last event, in canvas points (screen pixels over the magnification).
    Point pointerDelta(QPointF globalPosition);
    double magnification() const;
    void startAutoscroll();
    void stopAutoscroll();
    void autoscrollTick();
    // Whether the hover button or a handle under the press starts a hover-button drag or a resize.
    bool beginHoverButtonDragOrResize(Point point);
    void resizeStep(Point delta);
    void endHoverButtonDrag();
    // The cursors over the diagonal resize handles.
    static QCursor cursorNESW();
    static QCursor cursorNWSE();

    // ---- State the other parts of the canvas read ----

    GraphView::GraphViewInputPhase inputPhase = GraphView::GraphViewInputPhase::idle;
    // The rubber band: origin at the mouse-down point, size = current point − origin (may be negative).
    Rect selectionRect;
    Point mouseDownLocation;
    Point mouseUpLocation;
    // Last pointer position seen; decides which node layers are hovered when they are built.
    Point mouseMoveLocation;
    Point rightMouseDownLocation;
    Point rightMouseUpLocation;
    std::optional<GraphView::NodeResizingContext> nodeResizingContext;
    // The hovered layers whose "+" button was under the last mouse-down.
    std::vector<NodeLayer*> clickedHoverButtons;
    // Shown on a right click on a node, and on empty canvas. Not owned; either may be null.
    QPointer<QMenu> nodeContextMenu;
    QPointer<QMenu> documentContextMenu;

private:
    GraphView& view_;
    int clickCount_ = 1;
    QPointF lastGlobalPosition_;
    QTimer* autoScrollTimer_ = nullptr;
    std::shared_ptr<Layer> selectionLayer_;
};

} // namespace velquine
