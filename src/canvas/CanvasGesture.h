#pragma once

// The seam between the canvas and its gestures. GraphView holds one active gesture at a time, as an editor
// holds one active tool: the pointer (hovering, clicks and menus) while nothing else runs, and a drag, a resize,
// a rubber band, a hover-button drag, a pan or a title edit while one is under way. The view hands the active
// gesture its input, as arguments, and the reload engine tells it about every reload; a gesture keeps its own
// state and reads no other gesture's.

#include <Qt>

#include <cstdint>
#include <span>

#include "platform/Geometry.h"

class QKeyEvent;

namespace velquine {

// One pointer event, in canvas coordinates.
struct GestureInput {
    Point point;
    // The pointer's move since the last event, in canvas points.
    Point delta;
    Qt::KeyboardModifiers modifiers;
    // The button pressed or released, and those held.
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButtons buttons;
    // 2 for the second press of a double click.
    int clickCount = 1;
};

class CanvasGesture {
public:
    virtual ~CanvasGesture() = default;

    virtual void press(const GestureInput& input) = 0;
    virtual void move(const GestureInput& input) = 0;
    virtual void release(const GestureInput& input) = 0;
    // Whether the gesture took the key.
    virtual bool key(QKeyEvent*) { return false; }
    // Whether the gesture lasts only while a mouse button is held: a move with none ends it.
    virtual bool followsButtons() const { return true; }
    // Another gesture takes over, or the release never arrived: the gesture ends where it stands.
    virtual void cancel() {}
    // Before a reload, which may replace the layers the gesture holds, and after it.
    virtual void willReload() {}
    virtual void didReload() {}
    // Before the layers of these nodes (all of them when empty) are read: a gesture that draws layers away from
    // where they stand puts them there.
    virtual void placeLayers(std::span<const std::int64_t>) {}
};

} // namespace velquine
