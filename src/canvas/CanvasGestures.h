#pragma once

// The gestures of one canvas and the input that goes to them. One gesture at a time is active (CanvasGesture.h):
// mouse events, as GestureInput, go to it (a move with no button down goes to the pointer, which hovers); the
// wheel and context-menu events go to the pointer, drags from outside to the drop helper, keys to keyboard
// navigation and then the active gesture.

#include <QPointF>
#include <QTimer>

#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerGestures.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"

class QEvent;
class QMouseEvent;

namespace velquine {

class CanvasGestures {
public:
    CanvasGestures(GraphView& view, CanvasSync& sync);
    CanvasGestures(const CanvasGestures&) = delete;
    CanvasGestures& operator=(const CanvasGestures&) = delete;

    // Mouse, wheel, context-menu and drag input; whether a gesture took it.
    bool dispatch(QEvent* event);
    bool keyPress(QKeyEvent* event);
    // The active gesture, the pointer when null; the gestures call it as they begin and end.
    void setActive(CanvasGesture* gesture);
    CanvasGesture& active() { return *active_; }
    bool isPointerActive() const { return active_ == &pointer; }
    // Where the pointer was last seen over the canvas, and where the last click (a mouse release) was.
    Point pointerLocation() const { return pointerLocation_; }
    Point lastClickLocation() const { return lastClickLocation_; }

    DragInteraction drag;
    GhostInteraction ghost;
    ResizeGesture resize;
    RubberBandGesture rubberBand;
    PanGesture pan;
    TitleEditingInteraction titleEditing;
    // The active gesture while no other runs; it starts the others.
    PointerInteraction pointer;
    DropInteraction drop;
    NavigationInteraction navigation;
    FocusInteraction focus;

private:
    // The event as a gesture takes it; the pointer's move since the last event is measured from it.
    GestureInput input(const QMouseEvent& event, int clickCount);
    void press(const GestureInput& input);
    void move(const GestureInput& input);
    void release(const GestureInput& input);
    // While the left button is held with the pointer outside the visible area, the view scrolls toward the
    // pointer and the active gesture takes a step there.
    void autoscrollTick();

    GraphView& view_;
    CanvasSync& sync_;
    CanvasGesture* active_ = nullptr;
    // Not a child of the view: the gestures are made while the view is, and a child added would send the view
    // an event before they exist.
    QTimer autoscrollTimer_;
    QPointF lastGlobalPosition_;
    Point pointerLocation_;
    Point lastClickLocation_;
};

} // namespace velquine
