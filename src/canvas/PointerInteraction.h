#pragma once

// The pointer: the canvas's gesture while no other runs. Hovering shows the "+" buttons and the resize cursors;
// a press selects (Shift or Ctrl adds or removes) and starts the gesture it calls for: on a "+" button the
// hover-button drag, on a handle a resize, on empty canvas the rubber band, on a node a drag, with the right
// button a pan. A right click pops a menu up; Alt and the wheel zoom; a printable key starts typing the title
// of the one selected node. PointerInput.cpp has the presses, clicks and menus, PointerInteraction.cpp hovering.

#include <QPointer>

#include "canvas/CanvasGesture.h"
#include "model/graph/Node.h"

#include <vector>

class QContextMenuEvent;
class QCursor;
class QMenu;
class QWheelEvent;

namespace velquine {

class CanvasSync;
class GraphView;
class NodeLayer;
struct CanvasGestures;

class PointerInteraction : public CanvasGesture {
public:
    PointerInteraction(GraphView& view, CanvasSync& sync, CanvasGestures& gestures);
    ~PointerInteraction() override;
    PointerInteraction(const PointerInteraction&) = delete;
    PointerInteraction& operator=(const PointerInteraction&) = delete;

    void press(const GestureInput& input) override;
    // Without a button down: hovering.
    void move(const GestureInput& input) override;
    void release(const GestureInput&) override {}
    bool key(QKeyEvent* event) override;
    bool followsButtons() const override { return false; }

    void contextMenuEvent(QContextMenuEvent* event);
    // Whether the wheel zoomed (with Alt held); it is accepted then.
    bool zoomWithWheel(QWheelEvent* event);
    // Shown on a right click on a node, and on empty canvas. Not owned; either may be null.
    void setContextMenus(QMenu* nodeMenu, QMenu* documentMenu);
    // A right click that ended no pan: the node under the pointer is selected and its menu pops up.
    void rightClick(Point point);

private:
    // A left press that starts no other gesture: selection by click, Shift or Ctrl.
    void leftPress(const GestureInput& input);
    // Makes the gesture active and hands it the press.
    void start(CanvasGesture& gesture, const GestureInput& input);
    // Pops the node or the document menu up at the view point (canvas coordinates); the menu that was shown.
    QMenu* popUpContextMenu(Point point);
    // Asks the delegate to make the nodes the document's selection; nothing without one.
    void askForSelection(const std::vector<Node>& nodes);
    // The resize cursors over the corner handles of selected nodes, unless a title is being edited.
    void updateCursor(Point point);
    // The cursors over the diagonal resize handles.
    static QCursor cursorNESW();
    static QCursor cursorNWSE();

    GraphView& view_;
    CanvasSync& sync_;
    CanvasGestures& gestures_;
    QPointer<QMenu> nodeContextMenu_;
    QPointer<QMenu> documentContextMenu_;
};

} // namespace velquine
